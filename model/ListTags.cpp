// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ListTags.h"

#include <algorithm>

#include "model/NumberText.h"

namespace sonarel {

bool ListTags::empty() const
{
    return coverPath.empty() &&
           std::all_of(values.begin(), values.end(), [](const std::string& value) { return value.empty(); });
}

bool setTagFromText(ListTags& tags, std::string_view keyAndValue, std::string& problem)
{
    const std::size_t equals = keyAndValue.find('=');
    const std::string_view key = trimmedText(keyAndValue.substr(0, equals));
    const std::optional<media::core::TagField> field = media::core::tagFieldByName(key);
    if (equals == std::string_view::npos || !field) {
        problem = "a tag is written KEY=VALUE, with KEY one of " + media::core::tagNamesText();
        return false;
    }
    const std::string_view value = keyAndValue.substr(equals + 1);
    problem = media::core::tagValueProblem(*field, value);
    if (!problem.empty())
        return false;
    tags.value(*field) = std::string(value);
    return true;
}

std::string outputTagsOf(const ListTags& tags, media::core::OutputTags& output)
{
    output = {};
    output.values = tags.values;
    if (tags.coverPath.empty())
        return {};
    return media::core::readCoverImage(tags.coverPath, output);
}

}  // namespace sonarel

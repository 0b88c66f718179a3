// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/services/Timeline.h"

#include <algorithm>
#include <unordered_set>

#include "platform/media/FaultPoints.h"
#include "platform/media/core/Files.h"
#include "platform/media/services/MediaLibrary.h"

namespace sonarel::media {

namespace {

template <typename T>
Status insertAt(std::vector<T>& list, T item, int position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= list.size())
        list.push_back(std::move(item));
    else
        list.insert(list.begin() + position, std::move(item));
    return kOk;
}

}  // namespace

PropertySetter::PropertySetter(std::shared_ptr<EngineContext> context) : context_(std::move(context)) {}

Status PropertySetter::addProp(const Property& property)
{
    if (const Status s = context_->faults.check(fault::kAddProp); failed(s))
        return s;
    if (property.name.empty())
        return kErrInvalidArg;
    properties_.push_back(property);
    return kOk;
}

double PropertySetter::valueOf(const std::string& name, double fallback) const
{
    for (const Property& p : properties_)
        if (p.name == name && !p.values.empty())
            return p.values.front().value;
    return fallback;
}

TimelineNode::TimelineNode(std::shared_ptr<EngineContext> context, NodeType type)
    : context_(std::move(context)), type_(type)
{
}

Status TimelineNode::require(NodeType type) const
{
    return type_ == type ? kOk : kErrNoInterface;
}

Status TimelineNode::enter(std::string_view point, NodeType type) const
{
    if (const Status s = context_->faults.check(point); failed(s))
        return s;
    return require(type);
}

Status TimelineNode::setMediaType(const MediaType& type)
{
    if (const Status s = enter(fault::kSetMediaType, NodeType::Group); failed(s))
        return s;
    if (type.majorType != MajorType::Audio)
        return kErrInvalidMediaType;
    mediaType_ = type;
    return kOk;
}

Status TimelineNode::setPreviewMode(bool preview)
{
    if (const Status s = enter(fault::kSetPreviewMode, NodeType::Group); failed(s))
        return s;
    previewMode_ = preview;
    return kOk;
}

Status TimelineNode::vtrackInsBefore(std::shared_ptr<TimelineNode> track, int position)
{
    if (const Status s = enter(fault::kVTrackInsBefore, NodeType::Group); failed(s))
        return s;
    if (!track)
        return kErrPointer;
    if (track->type() != NodeType::Track || track.get() == this)
        return kErrInvalidArg;
    if (std::find(children_.begin(), children_.end(), track) != children_.end())
        return kErrAlreadyConnected;
    return insertAt(children_, std::move(track), position);
}

Status TimelineNode::srcAdd(std::shared_ptr<TimelineNode> source)
{
    if (const Status s = enter(fault::kSrcAdd, NodeType::Track); failed(s))
        return s;
    if (!source)
        return kErrPointer;
    if (source->type() != NodeType::Source)
        return kErrInvalidArg;
    if (std::find(children_.begin(), children_.end(), source) != children_.end())
        return kErrAlreadyConnected;
    children_.push_back(std::move(source));
    return kOk;
}

Status TimelineNode::srcAddTable(core::SourceList table)
{
    if (const Status s = enter(fault::kSrcAddTable, NodeType::Track); failed(s))
        return s;
    if (!table)
        return kErrPointer;
    if (table_)
        return kErrAlreadyConnected;
    table_ = std::move(table);
    return kOk;
}

Status TimelineNode::queryEffectable(std::shared_ptr<TimelineNode>& effectable)
{
    effectable.reset();
    if (const Status s = enter(fault::kQueryEffectable, NodeType::Track); failed(s))
        return s;
    effectable = shared_from_this();
    return kOk;
}

Status TimelineNode::effectInsBefore(std::shared_ptr<TimelineNode> effect, int position)
{
    if (const Status s = enter(fault::kEffectInsBefore, NodeType::Track); failed(s))
        return s;
    if (!effect)
        return kErrPointer;
    if (effect->type() != NodeType::Effect)
        return kErrInvalidArg;
    if (std::find(effects_.begin(), effects_.end(), effect) != effects_.end())
        return kErrAlreadyConnected;
    return insertAt(effects_, std::move(effect), position);
}

Status TimelineNode::setStartStop(REFERENCE_TIME start, REFERENCE_TIME stop)
{
    const bool isEffect = type_ == NodeType::Effect;
    if (const Status s = context_->faults.check(isEffect ? fault::kEffectSetStartStop : fault::kSourceSetStartStop);
        failed(s))
        return s;
    if (type_ != NodeType::Source && !isEffect)
        return kErrNoInterface;
    start_ = start;
    stop_ = stop;
    return kOk;
}

Status TimelineNode::setMediaTimes(REFERENCE_TIME start, REFERENCE_TIME stop)
{
    if (const Status s = enter(fault::kSetMediaTimes, NodeType::Source); failed(s))
        return s;
    mediaStart_ = start;
    mediaStop_ = stop;
    return kOk;
}

Status TimelineNode::setMediaName(const std::u16string& name)
{
    if (const Status s = enter(fault::kSetMediaName, NodeType::Source); failed(s))
        return s;
    mediaName_ = name;
    return kOk;
}

Status TimelineNode::setShaping(const SourceShaping& shaping)
{
    if (const Status s = require(NodeType::Source); failed(s))
        return s;
    shaping_ = shaping;
    return kOk;
}

Status TimelineNode::setStem(int stem)
{
    if (const Status s = require(NodeType::Source); failed(s))
        return s;
    stem_ = stem < 0 ? -1 : stem;
    return kOk;
}

Status TimelineNode::setSubObject(EffectKind kind)
{
    if (const Status s = enter(fault::kSetSubObject, NodeType::Effect); failed(s))
        return s;
    subObject_ = kind;
    return kOk;
}

Status TimelineNode::setPropertySetter(std::shared_ptr<PropertySetter> setter)
{
    if (const Status s = enter(fault::kSetPropertySetter, NodeType::Effect); failed(s))
        return s;
    setter_ = std::move(setter);
    return kOk;
}

Timeline::Timeline(std::shared_ptr<EngineContext> context) : context_(std::move(context)) {}

Status Timeline::createEmptyNode(NodeType type, std::shared_ptr<TimelineNode>& node)
{
    node.reset();
    std::string_view point;
    switch (type) {
    case NodeType::Group: point = fault::kCreateGroupNode; break;
    case NodeType::Track: point = fault::kCreateTrackNode; break;
    case NodeType::Source: point = fault::kCreateSourceNode; break;
    case NodeType::Effect: point = fault::kCreateEffectNode; break;
    default: return kErrInvalidArg;
    }
    if (const Status s = context_->faults.check(point); failed(s))
        return s;
    node = std::make_shared<TimelineNode>(context_, type);
    return kOk;
}

Status Timeline::addGroup(std::shared_ptr<TimelineNode> group)
{
    if (const Status s = context_->faults.check(fault::kAddGroup); failed(s))
        return s;
    if (!group)
        return kErrPointer;
    if (group->type() != NodeType::Group)
        return kErrInvalidArg;
    if (std::find(groups_.begin(), groups_.end(), group) != groups_.end())
        return kErrAlreadyConnected;
    groups_.push_back(std::move(group));
    return kOk;
}

Status Timeline::getGroupCount(int& count) const
{
    count = 0;
    if (const Status s = context_->faults.check(fault::kGetGroupCount); failed(s))
        return s;
    count = static_cast<int>(groups_.size());
    return kOk;
}

Status Timeline::getGroup(int index, std::shared_ptr<TimelineNode>& group) const
{
    group.reset();
    if (const Status s = context_->faults.check(fault::kGetGroup); failed(s))
        return s;
    if (index < 0 || static_cast<std::size_t>(index) >= groups_.size())
        return kErrInvalidArg;
    group = groups_[static_cast<std::size_t>(index)];
    return kOk;
}

Status Timeline::validateSourceNames(std::vector<MissingSource>& missing) const
{
    missing.clear();
    if (const Status s = context_->faults.check(fault::kValidateSourceNames); failed(s))
        return s;
    const auto check = [&missing](const std::u16string& name) {
        if (const Status s = core::checkRegularFile(core::toUtf8(name)); failed(s))
            missing.push_back(MissingSource{name, s});
    };
    for (const auto& group : groups_)
        for (const auto& track : group->tracks()) {
            for (const auto& source : track->sources())
                check(source->mediaName());
            if (!track->sourceTable())
                continue;
            // A table shares each name among the entries of its file: each is checked once.
            std::unordered_set<const std::u16string*> seen;
            for (const core::SourceEntry& entry : *track->sourceTable())
                if (seen.insert(&entry.fileName()).second)
                    check(entry.fileName());
        }
    return missing.empty() ? kOk : kFalse;
}

}  // namespace sonarel::media

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/core/ContainerTags.h"

#include <algorithm>
#include <cstring>

#include "platform/media/core/FfmpegHandles.h"

extern "C" {
#include <libavformat/version.h>
#include <libavutil/base64.h>
#include <libavutil/mathematics.h>
}

namespace sonarel::media::core {

namespace {

constexpr std::uint8_t kFrontCover = 3;  // the picture type of ID3's APIC and FLAC's PICTURE

void putBig32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void append(std::vector<std::uint8_t>& out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
}

struct PictureSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

std::uint32_t big16(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 8) | p[1];
}

// The picture's size from PNG's IHDR or JPEG's start of frame; 0 x 0 when not found.
PictureSize pictureSize(const std::vector<std::uint8_t>& b, CoverFormat format)
{
    if (format == CoverFormat::Png && b.size() >= 24)
        return {(big16(&b[16]) << 16) | big16(&b[18]), (big16(&b[20]) << 16) | big16(&b[22])};
    for (std::size_t at = 2; format == CoverFormat::Jpeg && at + 9 <= b.size();) {
        if (b[at] != 0xFF)
            break;
        const std::uint8_t marker = b[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return {big16(&b[at + 7]), big16(&b[at + 5])};
        at += 2 + big16(&b[at + 2]);
    }
    return {};
}

bool isAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// ID3v2.3 text: Latin-1 when it is ASCII, otherwise UTF-16 with its byte-order mark (v2.3 has no
// UTF-8). The encoding byte first; `terminated` ends it with a NUL of its width.
void putId3Text(std::vector<std::uint8_t>& out, std::string_view text, bool terminated, bool withEncoding = true)
{
    const bool ascii = isAscii(text);
    if (withEncoding)
        out.push_back(ascii ? 0 : 1);
    if (ascii) {
        append(out, text);
        if (terminated)
            out.push_back(0);
        return;
    }
    const auto put16 = [&out](std::uint32_t unit) {
        out.push_back(static_cast<std::uint8_t>(unit));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    put16(0xFEFF);
    for (std::size_t i = 0; i < text.size();) {
        const auto first = static_cast<unsigned char>(text[i]);
        const std::size_t length = first < 0x80 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;  // UTF-8 checked before
        std::uint32_t code = length == 1 ? first : first & (0xFFu >> (length + 1));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        if (code >= 0x10000) {
            put16(0xD800 + ((code - 0x10000) >> 10));
            put16(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put16(code);
        }
    }
    if (terminated)
        put16(0);
}

void putFrame(std::vector<std::uint8_t>& tag, const char* id, const std::vector<std::uint8_t>& body)
{
    append(tag, std::string_view(id, 4));
    putBig32(tag, static_cast<std::uint32_t>(body.size()));
    tag.push_back(0);
    tag.push_back(0);
    tag.insert(tag.end(), body.begin(), body.end());
}

void putTextFrame(std::vector<std::uint8_t>& tag, const char* id, std::string_view text)
{
    if (text.empty())
        return;
    std::vector<std::uint8_t> body;
    putId3Text(body, text, false);
    putFrame(tag, id, body);
}

int addMetadata(AVDictionary** into, const OutputTags& tags)
{
    for (const TagFieldInfo& info : kTagFields)
        if (const std::string& value = tags.value(info.field); !value.empty())
            if (const int e = av_dict_set(into, std::string(info.name).c_str(), value.c_str(), 0); e < 0)
                return e;
    return 0;
}

}  // namespace

namespace {

// CTOC "toc" (top level, ordered) naming "ch0", "ch1"...; each CHAP with its times in
// milliseconds, no byte offsets, and its title as a TIT2 sub-frame.
void putChapterFrames(std::vector<std::uint8_t>& frames, const OutputChapters& chapters, int rate)
{
    if (chapters.empty() || rate <= 0)
        return;
    std::vector<std::uint8_t> toc{'t', 'o', 'c', 0, 0x03, static_cast<std::uint8_t>(chapters.size())};
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        append(toc, "ch" + std::to_string(i));
        toc.push_back(0);
    }
    putFrame(frames, "CTOC", toc);
    const auto millis = [rate](std::int64_t frame) {
        return static_cast<std::uint32_t>(av_rescale_rnd(frame, 1000, rate, AV_ROUND_NEAR_INF));
    };
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        std::vector<std::uint8_t> chap;
        append(chap, "ch" + std::to_string(i));
        chap.push_back(0);
        putBig32(chap, millis(chapters[i].start));
        putBig32(chap, millis(chapters[i].end));
        putBig32(chap, 0xFFFFFFFF);
        putBig32(chap, 0xFFFFFFFF);
        putTextFrame(chap, "TIT2", chapters[i].title);
        putFrame(frames, "CHAP", chap);
    }
}

}  // namespace

std::vector<std::uint8_t> id3v23Tag(const OutputTags& tags, const OutputChapters& chapters, int rate)
{
    std::vector<std::uint8_t> frames;
    putTextFrame(frames, "TIT2", tags.value(TagField::Title));
    putTextFrame(frames, "TPE1", tags.value(TagField::Artist));
    putTextFrame(frames, "TALB", tags.value(TagField::Album));
    // v2.3 keeps a date as its year (TYER) and its day and month (TDAT, DDMM).
    const std::string& date = tags.value(TagField::Date);
    if (date.size() >= 4)
        putTextFrame(frames, "TYER", date.substr(0, 4));
    if (date.size() == 10)
        putTextFrame(frames, "TDAT", date.substr(8, 2) + date.substr(5, 2));
    putTextFrame(frames, "TCON", tags.value(TagField::Genre));
    putTextFrame(frames, "TRCK", tags.value(TagField::Track));
    if (const std::string& comment = tags.value(TagField::Comment); !comment.empty()) {
        const bool ascii = isAscii(comment);
        std::vector<std::uint8_t> body{static_cast<std::uint8_t>(ascii ? 0 : 1), 'e', 'n', 'g'};
        // An empty description, then the text, both in the text's encoding.
        if (ascii) {
            body.push_back(0);
            append(body, comment);
        } else {
            // Pushed one by one: GCC 12 at -O3 takes an insert of the four for an overflow.
            for (std::uint8_t b : {0xFF, 0xFE, 0x00, 0x00})
                body.push_back(b);
            putId3Text(body, comment, false, false);
        }
        putFrame(frames, "COMM", body);
    }
    putTextFrame(frames, "TSSE", LIBAVFORMAT_IDENT);  // as FFmpeg's own tag says
    if (tags.hasCover()) {
        std::vector<std::uint8_t> body{0};
        append(body, coverMimeType(tags.coverFormat));
        body.push_back(0);
        body.push_back(kFrontCover);
        body.push_back(0);  // no description
        body.insert(body.end(), tags.cover.begin(), tags.cover.end());
        putFrame(frames, "APIC", body);
    }
    putChapterFrames(frames, chapters, rate);
    std::vector<std::uint8_t> tag{'I', 'D', '3', 3, 0, 0};
    const auto size = static_cast<std::uint32_t>(frames.size());  // syncsafe: 7 bits a byte
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(static_cast<std::uint8_t>((size >> shift) & 0x7F));
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

std::vector<std::uint8_t> flacPictureBlock(const OutputTags& tags)
{
    const std::string_view mime = coverMimeType(tags.coverFormat);
    const PictureSize size = pictureSize(tags.cover, tags.coverFormat);
    std::vector<std::uint8_t> block;
    putBig32(block, kFrontCover);
    putBig32(block, static_cast<std::uint32_t>(mime.size()));
    append(block, mime);
    putBig32(block, 0);  // no description
    putBig32(block, size.width);
    putBig32(block, size.height);
    putBig32(block, 0);  // depth and colours: not known, as the format allows
    putBig32(block, 0);
    putBig32(block, static_cast<std::uint32_t>(tags.cover.size()));
    block.insert(block.end(), tags.cover.begin(), tags.cover.end());
    return block;
}

std::vector<std::string> tagsNotKept(OutputContainer container, const OutputTags& tags)
{
    std::vector<std::string> names;
    if (container == OutputContainer::Wav && tags.hasCover())
        names.emplace_back("cover");
    return names;
}

int ContainerTags::beforeHeader(AVFormatContext& out, AVDictionary** options)
{
    const bool mp3 = container_ == OutputContainer::Mp3;
    if (tags_.empty() && !(mp3 && !chapters_.empty()))
        return 0;
    if (mp3) {
        // More than the CTOC can count would leave a table of contents that names too few.
        if (chapters_.size() > kMostMp3Chapters || (!chapters_.empty() && rate_ <= 0))
            return AVERROR(EINVAL);
        // FFmpeg's ID3 writer would make the comment a TXXX frame: the muxer writes none, and
        // this tag goes first.
        if (const int e = av_dict_set(options, "id3v2_version", "0", 0); e < 0)
            return e;
        const std::vector<std::uint8_t> tag = id3v23Tag(tags_, chapters_, rate_);
        avio_write(out.pb, tag.data(), static_cast<int>(tag.size()));
        return out.pb->error;
    }
    const bool ogg = container_ == OutputContainer::Opus || container_ == OutputContainer::Vorbis;
    // The Ogg muxer writes its stream's comments; the others the file's.
    AVDictionary** metadata = ogg ? &out.streams[0]->metadata : &out.metadata;
    if (const int e = addMetadata(metadata, tags_); e < 0)
        return e;
    if (!tags_.hasCover())
        return 0;
    if (ogg) {
        const std::vector<std::uint8_t> block = flacPictureBlock(tags_);
        std::string text(AV_BASE64_SIZE(block.size()), '\0');
        if (!av_base64_encode(text.data(), static_cast<int>(text.size()), block.data(), static_cast<int>(block.size())))
            return AVERROR(EINVAL);
        text.resize(std::strlen(text.c_str()));
        return av_dict_set(metadata, "METADATA_BLOCK_PICTURE", text.c_str(), 0);
    }
    AVStream* picture = avformat_new_stream(&out, nullptr);
    if (!picture)
        return AVERROR(ENOMEM);
    const PictureSize size = pictureSize(tags_.cover, tags_.coverFormat);
    picture->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    picture->codecpar->codec_id = tags_.coverFormat == CoverFormat::Png ? AV_CODEC_ID_PNG : AV_CODEC_ID_MJPEG;
    picture->codecpar->width = static_cast<int>(size.width);
    picture->codecpar->height = static_cast<int>(size.height);
    picture->disposition = AV_DISPOSITION_ATTACHED_PIC;
    picture->time_base = AVRational{1, 90000};
    pictureStream_ = picture->index;
    return av_dict_set(&picture->metadata, "comment", "Cover (front)", 0);  // FLAC's picture type
}

int ContainerTags::afterHeader(AVFormatContext& out)
{
    if (pictureStream_ < 0)
        return 0;
    PacketPtr packet{av_packet_alloc()};
    if (!packet)
        return AVERROR(ENOMEM);
    if (const int e = av_new_packet(packet.get(), static_cast<int>(tags_.cover.size())); e < 0)
        return e;
    std::memcpy(packet->data, tags_.cover.data(), tags_.cover.size());
    packet->stream_index = pictureStream_;
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->pts = packet->dts = 0;
    return av_write_frame(&out, packet.get());
}

}  // namespace sonarel::media::core

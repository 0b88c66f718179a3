// SPDX-License-Identifier: GPL-3.0-or-later
// The editing timeline: what to mix, before anything is rendered.
//
// A timeline holds groups; a group holds tracks and mixes them; a track holds sources and effects.
// A source names a media file, the part of it to play (media start and stop) and where that part
// sits on the output (timeline start and stop); when the two spans differ the media is played
// faster or slower (varispeed). The audio-mixer effect scales its track by the "Vol" parameter of
// its property setter (a linear gain; values above 1 amplify).
//
// A long list would cost three nodes and a property setter per entry; a track can instead hold a
// table of sources, each with its own times, shaping and volume, shared with the render engine.
//
// All of this is plain data built on one thread; the render engine copies what it needs when its
// front end is connected, so a running render never reads these objects.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media/Formats.h"
#include "platform/media/SourceShaping.h"
#include "platform/media/Status.h"
#include "platform/media/core/Placement.h"

namespace sonarel::media {

class EngineContext;
class TimelineNode;

enum class NodeType { Group = 128, Track = 2, Source = 4, Effect = 16 };

enum class EffectKind { None, AudioMixer };

inline constexpr int kInterpolateJump = 0;  // the value holds from its time on

struct PropertyValue {
    double value = 0.0;
    REFERENCE_TIME time = 0;
    int interpolation = kInterpolateJump;
};

struct Property {
    std::string name;  // "Vol" for the audio mixer
    int dispatchId = 0;
    std::vector<PropertyValue> values;
};

class PropertySetter {
public:
    explicit PropertySetter(std::shared_ptr<EngineContext> context);
    Status addProp(const Property& property);
    // The first value of `name`, or `fallback` when there is none.
    double valueOf(const std::string& name, double fallback) const;

private:
    std::shared_ptr<EngineContext> context_;
    std::vector<Property> properties_;
};

// One node of any type. Calls that do not belong to the node's type fail with kErrNoInterface.
class TimelineNode : public std::enable_shared_from_this<TimelineNode> {
public:
    TimelineNode(std::shared_ptr<EngineContext> context, NodeType type);
    NodeType type() const { return type_; }

    // Group.
    Status setMediaType(const MediaType& type);
    Status setPreviewMode(bool preview);
    Status vtrackInsBefore(std::shared_ptr<TimelineNode> track, int position);  // -1: at the end

    // Track.
    Status srcAdd(std::shared_ptr<TimelineNode> source);
    // Track: plays every source of `table` at its own volume (the track's effects do not apply to
    // them), after the sources added one by one. A track holds at most one table.
    Status srcAddTable(core::SourceList table);
    // The track's effectable side (the track itself); may fail through the injection point.
    Status queryEffectable(std::shared_ptr<TimelineNode>& effectable);
    Status effectInsBefore(std::shared_ptr<TimelineNode> effect, int position);  // -1: at the end

    // Source and effect.
    Status setStartStop(REFERENCE_TIME start, REFERENCE_TIME stop);
    Status setMediaTimes(REFERENCE_TIME start, REFERENCE_TIME stop);
    Status setMediaName(const std::u16string& name);
    // Source: its fades, cut ramps and pitch handling (plain by default).
    Status setShaping(const SourceShaping& shaping);
    // Source: the stem its sound also goes to (see core::SourceEntry::stem); -1 by default.
    Status setStem(int stem);
    Status setSubObject(EffectKind kind);
    Status setPropertySetter(std::shared_ptr<PropertySetter> setter);

    // Read access for the render engine and for tests.
    const MediaType& mediaType() const { return mediaType_; }
    bool previewMode() const { return previewMode_; }
    const std::vector<std::shared_ptr<TimelineNode>>& tracks() const { return children_; }
    const std::vector<std::shared_ptr<TimelineNode>>& sources() const { return children_; }
    const std::vector<std::shared_ptr<TimelineNode>>& effects() const { return effects_; }
    const core::SourceList& sourceTable() const { return table_; }
    REFERENCE_TIME start() const { return start_; }
    REFERENCE_TIME stop() const { return stop_; }
    REFERENCE_TIME mediaStart() const { return mediaStart_; }
    REFERENCE_TIME mediaStop() const { return mediaStop_; }
    const std::u16string& mediaName() const { return mediaName_; }
    const SourceShaping& shaping() const { return shaping_; }
    int stem() const { return stem_; }
    EffectKind subObject() const { return subObject_; }
    const std::shared_ptr<PropertySetter>& propertySetter() const { return setter_; }

private:
    Status require(NodeType type) const;
    // The injection point of a call, then the node type it belongs to.
    Status enter(std::string_view point, NodeType type) const;

    std::shared_ptr<EngineContext> context_;
    NodeType type_;
    MediaType mediaType_;
    bool previewMode_ = true;
    std::vector<std::shared_ptr<TimelineNode>> children_;  // group: tracks; track: sources
    std::vector<std::shared_ptr<TimelineNode>> effects_;
    core::SourceList table_;  // track: sources given as one table
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME stop_ = 0;
    REFERENCE_TIME mediaStart_ = 0;
    REFERENCE_TIME mediaStop_ = 0;
    std::u16string mediaName_;
    SourceShaping shaping_;
    int stem_ = -1;
    EffectKind subObject_ = EffectKind::None;
    std::shared_ptr<PropertySetter> setter_;
};

// Result of checking the source files of a timeline.
struct MissingSource {
    std::u16string name;
    Status status;  // why it cannot be read
};

class Timeline {
public:
    explicit Timeline(std::shared_ptr<EngineContext> context);

    Status createEmptyNode(NodeType type, std::shared_ptr<TimelineNode>& node);
    Status addGroup(std::shared_ptr<TimelineNode> group);
    Status getGroupCount(int& count) const;
    Status getGroup(int index, std::shared_ptr<TimelineNode>& group) const;

    // Checks that every source file can be opened for reading as a regular local file; never
    // blocks on a FIFO or a device. Returns kOk when all can, kFalse when some cannot (listed in
    // `missing`), or a failure.
    Status validateSourceNames(std::vector<MissingSource>& missing) const;

private:
    friend class RenderEngine;  // reads the groups without the injection points of getGroup
    std::shared_ptr<EngineContext> context_;
    std::vector<std::shared_ptr<TimelineNode>> groups_;
};

}  // namespace sonarel::media

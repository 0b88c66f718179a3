// SPDX-License-Identifier: GPL-3.0-or-later
// Names of the engine's injection points (see FaultInjector.h). One constant per factory and call,
// so tests and the engine cannot disagree on a spelling.
#pragma once

#include <string_view>

namespace sonarel::media::fault {

// Factories of MediaLibrary.
inline constexpr std::string_view kCreateTimeline = "Create.Timeline";
inline constexpr std::string_view kCreatePropertySetter = "Create.PropertySetter";
inline constexpr std::string_view kCreateRenderEngine = "Create.RenderEngine";
inline constexpr std::string_view kCreateGraphBuilder = "Create.GraphBuilder";
inline constexpr std::string_view kCreateWavMux = "Create.WavMux";
inline constexpr std::string_view kCreateFileWriter = "Create.FileWriter";
inline constexpr std::string_view kCreateFormatConverter = "Create.FormatConverter";
inline constexpr std::string_view kCreateFilterGraph = "Create.FilterGraph";
inline constexpr std::string_view kLibraryInitialize = "Library.Initialize";
inline constexpr std::string_view kCreateSystemEnumerator = "Create.SystemEnumerator";  // compressors
inline constexpr std::string_view kCreateClassEnumerator = "SystemEnumerator.CreateClassEnumerator";

// Timeline and nodes.
inline constexpr std::string_view kCreateGroupNode = "Timeline.CreateEmptyNode.Group";
inline constexpr std::string_view kCreateTrackNode = "Timeline.CreateEmptyNode.Track";
inline constexpr std::string_view kCreateSourceNode = "Timeline.CreateEmptyNode.Source";
inline constexpr std::string_view kCreateEffectNode = "Timeline.CreateEmptyNode.Effect";
inline constexpr std::string_view kAddGroup = "Timeline.AddGroup";
inline constexpr std::string_view kGetGroupCount = "Timeline.GetGroupCount";
inline constexpr std::string_view kGetGroup = "Timeline.GetGroup";
inline constexpr std::string_view kValidateSourceNames = "Timeline.ValidateSourceNames";
inline constexpr std::string_view kSetMediaType = "Group.SetMediaType";
inline constexpr std::string_view kSetPreviewMode = "Group.SetPreviewMode";
inline constexpr std::string_view kVTrackInsBefore = "Group.VTrackInsBefore";
inline constexpr std::string_view kSrcAdd = "Track.SrcAdd";
inline constexpr std::string_view kSrcAddTable = "Track.SrcAddTable";
inline constexpr std::string_view kQueryEffectable = "Track.QueryEffectable";
inline constexpr std::string_view kEffectInsBefore = "Track.EffectInsBefore";
inline constexpr std::string_view kSourceSetStartStop = "Source.SetStartStop";
inline constexpr std::string_view kSetMediaTimes = "Source.SetMediaTimes";
inline constexpr std::string_view kSetMediaName = "Source.SetMediaName";
inline constexpr std::string_view kSetSubObject = "Effect.SetSubObjectGUID";
inline constexpr std::string_view kEffectSetStartStop = "Effect.SetStartStop";
inline constexpr std::string_view kSetPropertySetter = "Effect.SetPropertySetter";
inline constexpr std::string_view kAddProp = "PropertySetter.AddProp";

// Render engine and graph building.
inline constexpr std::string_view kSetTimelineObject = "RenderEngine.SetTimelineObject";
inline constexpr std::string_view kSetDynamicReconnectLevel = "RenderEngine.SetDynamicReconnectLevel";
inline constexpr std::string_view kConnectFrontEnd = "RenderEngine.ConnectFrontEnd";
inline constexpr std::string_view kGetTimelineObject = "RenderEngine.GetTimelineObject";
inline constexpr std::string_view kGetFilterGraph = "RenderEngine.GetFilterGraph";
inline constexpr std::string_view kGetGroupOutputPin = "RenderEngine.GetGroupOutputPin";
inline constexpr std::string_view kSetFiltergraph = "GraphBuilder.SetFiltergraph";
inline constexpr std::string_view kRenderStream = "GraphBuilder.RenderStream";
inline constexpr std::string_view kFindInterface = "GraphBuilder.FindInterface";
inline constexpr std::string_view kGetFormat = "StreamConfig.GetFormat";
inline constexpr std::string_view kSetFormat = "StreamConfig.SetFormat";
inline constexpr std::string_view kSetFileName = "FileWriter.SetFileName";
inline constexpr std::string_view kAddFilter = "FilterGraph.AddFilter";  // any filter
inline constexpr std::string_view kConnect = "FilterGraph.Connect";
inline constexpr std::string_view kQueryMediaControl = "FilterGraph.QueryMediaControl";
inline constexpr std::string_view kQueryMediaEvents = "FilterGraph.QueryMediaEvents";
inline constexpr std::string_view kQueryMediaSeeking = "FilterGraph.QueryMediaSeeking";
inline constexpr std::string_view kSetNotify = "FilterGraph.SetNotify";
inline constexpr std::string_view kRun = "FilterGraph.Run";
inline constexpr std::string_view kRenderFile = "FilterGraph.RenderFile";
inline constexpr std::string_view kGetStopPosition = "MediaSeeking.GetStopPosition";

// While running: make the next write of the output file, or the next read of a source, fail.
inline constexpr std::string_view kWriteOutput = "Run.WriteOutput";
inline constexpr std::string_view kReadSource = "Run.ReadSource";

}  // namespace sonarel::media::fault

// The mpv names the engine speaks: options, properties, commands and node keys, spelt once.
#pragma once

namespace mpvname {

// Options set before the handle is initialised.
constexpr char kVideoOutput[] = "vo";
constexpr char kAudioOutput[] = "ao";
constexpr char kHwdec[] = "hwdec";
constexpr char kKeepOpen[] = "keep-open";

// Playback state, polled by the event pump.
constexpr char kPause[] = "pause";
constexpr char kAudioId[] = "aid";
constexpr char kSubtitleId[] = "sid";
constexpr char kSecondarySubtitleId[] = "secondary-sid";
constexpr char kDuration[] = "duration";
constexpr char kTimePos[] = "time-pos";
constexpr char kEofReached[] = "eof-reached";

// Settings of the user.
constexpr char kVolume[] = "volume";
constexpr char kSpeed[] = "speed";
constexpr char kKeepAspect[] = "keepaspect";
constexpr char kVideoAspectOverride[] = "video-aspect-override";
constexpr char kVideoRotate[] = "video-rotate";
constexpr char kPanscan[] = "panscan";
constexpr char kBrightness[] = "brightness";
constexpr char kSaturation[] = "saturation";
constexpr char kContrast[] = "contrast";
constexpr char kHue[] = "hue";
constexpr char kAudioChannels[] = "audio-channels";
constexpr char kAudioFilter[] = "af";
constexpr char kAudioDevice[] = "audio-device";
constexpr char kAudioDelay[] = "audio-delay";
constexpr char kSubtitleDelay[] = "sub-delay";
constexpr char kSecondarySubtitleDelay[] = "secondary-sub-delay";
constexpr char kSubtitlePos[] = "sub-pos";
constexpr char kSecondarySubtitlePos[] = "secondary-sub-pos";

// Where the picture lies in a target larger than the video item (a window drawn into directly).
constexpr char kVideoMarginLeft[] = "video-margin-ratio-left";
constexpr char kVideoMarginRight[] = "video-margin-ratio-right";
constexpr char kVideoMarginTop[] = "video-margin-ratio-top";
constexpr char kVideoMarginBottom[] = "video-margin-ratio-bottom";
constexpr char kSubtitleUseMargins[] = "sub-use-margins";
constexpr char kBackground[] = "background";
constexpr char kNo[] = "no";

// The picture-enhancement preset.
constexpr char kDeband[] = "deband";
constexpr char kDebandIterations[] = "deband-iterations";
constexpr char kDebandThreshold[] = "deband-threshold";
constexpr char kDebandRange[] = "deband-range";
constexpr char kDebandGrain[] = "deband-grain";
constexpr char kScale[] = "scale";
constexpr char kChromaScale[] = "cscale";
constexpr char kDownScale[] = "dscale";
constexpr char kSigmoidUpscaling[] = "sigmoid-upscaling";
constexpr char kCorrectDownscaling[] = "correct-downscaling";

// Read side: media information and lists.
constexpr char kPath[] = "path";
constexpr char kMediaTitle[] = "media-title";
constexpr char kFileFormat[] = "file-format";
constexpr char kWidth[] = "width";
constexpr char kHeight[] = "height";
constexpr char kEstimatedFps[] = "estimated-vf-fps";
constexpr char kVideoCodec[] = "video-codec";
constexpr char kAudioCodecName[] = "audio-codec-name";
constexpr char kAudioCodec[] = "audio-codec";
constexpr char kMetadata[] = "metadata";
constexpr char kVideoParams[] = "video-params";
constexpr char kAudioParams[] = "audio-params";
constexpr char kTrackList[] = "track-list";
constexpr char kChapterList[] = "chapter-list";
constexpr char kAudioDeviceList[] = "audio-device-list";
constexpr char kPropertyList[] = "property-list";

// Commands and their arguments.
constexpr char kLoadFile[] = "loadfile";
constexpr char kCycle[] = "cycle";
constexpr char kSeek[] = "seek";
constexpr char kStop[] = "stop";
constexpr char kSubAdd[] = "sub-add";
constexpr char kAbsolute[] = "absolute";
constexpr char kRelative[] = "relative";
constexpr char kExact[] = "exact";
// sub-add flags: "select" makes the track current, "auto" adds it and leaves the choice alone.
constexpr char kSelect[] = "select";
constexpr char kAuto[] = "auto";

// Keys of the nodes mpv answers with.
constexpr char kPlaylistEntryIdKey[] = "playlist_entry_id";
constexpr char kTypeKey[] = "type";
constexpr char kIdKey[] = "id";
constexpr char kTitleKey[] = "title";
constexpr char kExternalFilenameKey[] = "external-filename";
constexpr char kLangKey[] = "lang";
constexpr char kSelectedKey[] = "selected";
constexpr char kAlbumArtKey[] = "albumart";
constexpr char kNameKey[] = "name";
constexpr char kDescriptionKey[] = "description";

} // namespace mpvname

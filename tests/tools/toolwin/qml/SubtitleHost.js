// The player view's answer to the dialog's subtitle picks, as the tests' host: a track may not
// hold both roles; "none" (-1) and automatic (0) may.
.pragma library

function answer(engine, secondary, trackId) {
    var id = Number(trackId)
    var other = secondary ? engine.subtitleTrackId : engine.secondarySubtitleTrackId
    if (id > 0 && id === other)
        return "ui.text.subtitle.same_track_not_allowed"
    if (secondary)
        engine.setSecondarySubtitleTrackId(id)
    else
        engine.setSubtitleTrackId(id)
    return ""
}

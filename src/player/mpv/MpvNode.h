// Conversion of mpv's structured values (mpv_node trees) into plain Qt values.
#pragma once

#include <QVariant>

#include <mpv/client.h>

namespace mpvnode {

// STRING, FLAG, INT64, DOUBLE, arrays and maps become their Qt counterparts; anything else,
// and a null string, an invalid QVariant.
QVariant toVariant(const mpv_node *node);
// The value of a map node under the key (first match), or null.
const mpv_node *mapValue(const mpv_node *node, const char *key);

} // namespace mpvnode

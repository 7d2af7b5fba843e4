// mpv_node to QVariant conversion.
#include "player/mpv/MpvNode.h"

#include <QVariantList>
#include <QVariantMap>

#include <cstring>

namespace mpvnode {

const mpv_node *mapValue(const mpv_node *node, const char *key)
{
    if (!node || node->format != MPV_FORMAT_NODE_MAP || !node->u.list)
        return nullptr;
    for (int i = 0; i < node->u.list->num; ++i) {
        if (node->u.list->keys[i] && std::strcmp(node->u.list->keys[i], key) == 0)
            return &node->u.list->values[i];
    }
    return nullptr;
}

QVariant toVariant(const mpv_node *node)
{
    if (!node)
        return QVariant();
    switch (node->format) {
    case MPV_FORMAT_STRING:
        return node->u.string ? QVariant(QString::fromUtf8(node->u.string)) : QVariant();
    case MPV_FORMAT_FLAG:
        return QVariant(node->u.flag != 0);
    case MPV_FORMAT_INT64:
        return QVariant(static_cast<qlonglong>(node->u.int64));
    case MPV_FORMAT_DOUBLE:
        return QVariant(node->u.double_);
    case MPV_FORMAT_NODE_ARRAY: {
        QVariantList list;
        if (node->u.list) {
            for (int i = 0; i < node->u.list->num; ++i)
                list.append(toVariant(&node->u.list->values[i]));
        }
        return list;
    }
    case MPV_FORMAT_NODE_MAP: {
        QVariantMap map;
        if (node->u.list) {
            for (int i = 0; i < node->u.list->num; ++i) {
                if (node->u.list->keys[i])
                    map.insert(QString::fromUtf8(node->u.list->keys[i]), toVariant(&node->u.list->values[i]));
            }
        }
        return map;
    }
    default:
        return QVariant();
    }
}

} // namespace mpvnode

#include "platform/fontsetup.h"

namespace kelvo {

QStringList dialogFaces()
{
    return {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
            QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
}

QStringList labelFaces()
{
    return {QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue")};
}

} // namespace kelvo

#include "platform/fontsetup.h"

namespace kelvo {

QStringList dialogFaces()
{
    return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
}

QStringList labelFaces()
{
    return {QStringLiteral("Comic Neue")};
}

} // namespace kelvo

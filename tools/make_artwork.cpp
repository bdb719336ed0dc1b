// Draws the window's artwork: the background picture (597 x 188, and twice
// that for high-density screens) and the
// window icon (16 x 16 and 32 x 32), and the same icon at the larger sizes
// that the desktop's icon theme asks for (48 to 256 pixels). The icons are
// written as PNG files, and together as the Windows program's icon file
// (packaging/windows/kelvo-rozevid.ico), the background as binary PPM: the
// window shows it at
// once, and a PPM is read in a fraction of the time a PNG takes to decode
// (the program's resources compress it as well). The Windows installer's
// pictures, a part of the background with the icon on it, are written as the
// 24-bit BMPs its pages show: the header's (150 x 57) and the one beside the
// welcome and finish pages (164 x 314), into packaging/windows/.
//
//   kelvo-make-artwork [window artwork folder [theme icon folder]]
//
// The folders default to the source tree's app/resources and packaging/icons.
// Run it with QT_QPA_PLATFORM=offscreen on a machine without a display.

#include <QBuffer>
#include <QColor>
#include <QDataStream>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <algorithm>
#include <array>
#include <cmath>

// The build names the source tree's app/resources; the theme icons belong in
// packaging/icons of the same tree.
#ifdef KELVO_RESOURCES_DIR
#define KELVO_THEME_ICONS_DIR KELVO_RESOURCES_DIR "/../../packaging/icons"
#else
#define KELVO_RESOURCES_DIR "."
#define KELVO_THEME_ICONS_DIR "."
#endif

namespace {

constexpr int kWidth = 597;
constexpr int kHeight = 188;
// The icon sizes drawn for the desktop's icon theme beside the window's own
// 16 and 32 pixel icons.
constexpr std::array<int, 4> kThemeIconSizes{48, 64, 128, 256};

// Prices of the candles, oldest first: open, high, low, close. A choppy start
// that breaks out upwards, drawn in the left part of the picture where the
// window has the fewest controls.
struct Candle {
    double open;
    double high;
    double low;
    double close;
};

constexpr std::array<Candle, 16> kCandles{{
    {30, 36, 24, 27},
    {27, 33, 22, 31},
    {31, 38, 28, 35},
    {35, 37, 26, 29},
    {29, 34, 25, 33},
    {33, 44, 31, 42},
    {42, 46, 36, 38},
    {38, 47, 37, 45},
    {45, 55, 43, 53},
    {53, 56, 46, 49},
    {49, 60, 48, 58},
    {58, 68, 56, 66},
    {66, 70, 60, 62},
    {62, 75, 61, 73},
    {73, 84, 71, 81},
    {81, 90, 78, 88},
}};

// Price 0 at the bottom of the chart band, 100 at its top.
constexpr double kChartBottom = 150.0;
constexpr double kChartTop = 12.0;
constexpr double kChartLeft = 16.0;
constexpr double kCandleStep = 20.5;

double priceToY(double price)
{
    return kChartBottom - (kChartBottom - kChartTop) * price / 100.0;
}

double candleX(int index)
{
    return kChartLeft + kCandleStep * index + kCandleStep / 2.0;
}

void drawBackdrop(QPainter& p)
{
    QLinearGradient base(0, 0, kWidth * 0.6, kHeight * 1.4);
    base.setColorAt(0.0, QColor(0x12, 0x2b, 0x52));
    base.setColorAt(0.45, QColor(0x0b, 0x1c, 0x3a));
    base.setColorAt(1.0, QColor(0x05, 0x0d, 0x1e));
    p.fillRect(0, 0, kWidth, kHeight, base);

    // A soft glow behind the chart.
    QRadialGradient glow(180, 55, 200);
    glow.setColorAt(0.0, QColor(0x2a, 0x6f, 0xb0, 70));
    glow.setColorAt(1.0, QColor(0x2a, 0x6f, 0xb0, 0));
    p.fillRect(0, 0, kWidth, kHeight, glow);
}

void drawGrid(QPainter& p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor minor(255, 255, 255, 10);
    const QColor major(255, 255, 255, 20);
    for (int x = 12, i = 0; x < kWidth; x += 24, ++i) {
        p.setPen(QPen(i % 4 == 0 ? major : minor, 1));
        p.drawLine(x, 0, x, kHeight);
    }
    for (int y = 10, i = 0; y < kHeight; y += 24, ++i) {
        p.setPen(QPen(i % 4 == 0 ? major : minor, 1));
        p.drawLine(0, y, kWidth, y);
    }
    p.restore();
}

// The trend line: a smoothed average of the closes over the candles.
QList<QPointF> trendPoints()
{
    QList<QPointF> points;
    double average = kCandles[0].close;
    for (int i = 0; i < int(kCandles.size()); ++i) {
        average = 0.6 * average + 0.4 * kCandles[size_t(i)].close;
        points.append(QPointF(candleX(i), priceToY(average)));
    }
    return points;
}

// Beyond the candles, a projection of the trend: flattening, fading away
// over the right-hand part of the picture.
QList<QPointF> projectionPoints(QPointF from)
{
    QList<QPointF> points{from};
    const Candle& last = kCandles.back();
    points.append(QPointF(candleX(int(kCandles.size()) - 1), priceToY(last.close)));
    double price = last.close;
    for (double x = points.back().x() + 30; x <= kWidth + 30; x += 30) {
        price += 2.4 * std::exp(-(x - 330.0) / 140.0) + 0.9 * std::sin(x / 19.0);
        points.append(QPointF(x, priceToY(price)));
    }
    return points;
}

QPainterPath smoothPath(const QList<QPointF>& points)
{
    QPainterPath path(points.first());
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF a = points[i - 1];
        const QPointF b = points[i];
        const double dx = (b.x() - a.x()) / 2.0;
        path.cubicTo(QPointF(a.x() + dx, a.y()), QPointF(b.x() - dx, b.y()), b);
    }
    return path;
}

void drawTrend(QPainter& p)
{
    const QList<QPointF> points = trendPoints();
    const QPainterPath line = smoothPath(points);

    const QList<QPointF> ahead = projectionPoints(points.back());
    const QPainterPath projection = smoothPath(ahead);

    // The area under the line and its projection, faint, fading downwards and
    // out to the right. Drawn on a layer of its own so that the fade to the
    // right can be applied to it alone.
    QImage layer(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath area = line;
        area.connectPath(projection);
        area.lineTo(ahead.back().x(), kHeight);
        area.lineTo(points.first().x(), kHeight);
        area.closeSubpath();
        QLinearGradient fill(0, kChartTop, 0, kHeight);
        fill.setColorAt(0.0, QColor(0x3f, 0xc1, 0xe8, 50));
        fill.setColorAt(0.7, QColor(0x3f, 0xc1, 0xe8, 0));
        lp.fillPath(area, fill);

        QLinearGradient fade(0, 0, kWidth, 0);
        fade.setColorAt(0.0, QColor(0, 0, 0, 255));
        fade.setColorAt(0.52, QColor(0, 0, 0, 255));
        fade.setColorAt(0.75, QColor(0, 0, 0, 0));
        lp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        lp.fillRect(layer.rect(), fade);
    }
    p.drawImage(0, 0, layer);

    const QColor cyan(0x6f, 0xe3, 0xff);
    auto withAlpha = [](QColor c, int alpha) {
        c.setAlpha(alpha);
        return c;
    };
    p.strokePath(line, QPen(withAlpha(cyan, 40), 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.strokePath(line, QPen(withAlpha(cyan, 210), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    // The projection, dashed, fading out towards the right edge where the
    // controls sit.
    QLinearGradient fade(points.back().x(), 0, kWidth, 0);
    fade.setColorAt(0.0, withAlpha(cyan, 150));
    fade.setColorAt(0.7, withAlpha(cyan, 0));
    QPen dashed(QBrush(fade), 1.4, Qt::CustomDashLine, Qt::FlatCap, Qt::RoundJoin);
    dashed.setDashPattern({4.0, 3.0});
    p.strokePath(projection, dashed);
}

void drawCandles(QPainter& p)
{
    const QColor up(0x3d, 0xdc, 0x97);
    const QColor down(0xe8, 0x5d, 0x75);
    for (int i = 0; i < int(kCandles.size()); ++i) {
        const Candle& c = kCandles[size_t(i)];
        const double x = candleX(i);
        // Older candles are fainter, the latest the brightest.
        const int alpha = 90 + 110 * i / int(kCandles.size() - 1);
        QColor colour = c.close >= c.open ? up : down;
        colour.setAlpha(alpha);

        p.setPen(QPen(colour, 1.2));
        p.drawLine(QPointF(x, priceToY(c.high)), QPointF(x, priceToY(c.low)));

        const double top = priceToY(std::max(c.open, c.close));
        const double bottom = priceToY(std::min(c.open, c.close));
        const QRectF body(x - 5.5, top, 11.0, std::max(bottom - top, 1.5));
        QColor fill = colour;
        fill.setAlpha(alpha * 2 / 3);
        p.setPen(QPen(colour, 1.0));
        p.setBrush(fill);
        p.drawRoundedRect(body, 1.5, 1.5);
    }
    p.setBrush(Qt::NoBrush);
}

// A glowing dot at the latest close.
void drawMarker(QPainter& p)
{
    const Candle& last = kCandles.back();
    const QPointF centre(candleX(int(kCandles.size()) - 1), priceToY(last.close));
    QRadialGradient halo(centre, 14);
    halo.setColorAt(0.0, QColor(0x9a, 0xff, 0xd0, 120));
    halo.setColorAt(1.0, QColor(0x9a, 0xff, 0xd0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(centre, 14, 14);
    p.setBrush(QColor(0xe8, 0xff, 0xf4));
    p.drawEllipse(centre, 2.2, 2.2);
    p.setBrush(Qt::NoBrush);
}

// Volume bars along the bottom edge, very faint.
void drawVolume(QPainter& p)
{
    p.setPen(Qt::NoPen);
    for (int i = 0; i < int(kCandles.size()); ++i) {
        const Candle& c = kCandles[size_t(i)];
        const double height = 3.0 + (c.high - c.low) * 0.45;
        p.setBrush(QColor(0x9f, 0xc8, 0xff, 22));
        p.drawRect(QRectF(candleX(i) - 5.5, kHeight - height, 11.0, height));
    }
    p.setBrush(Qt::NoBrush);
}

// Darkens the middle and the right-hand part, where text and fields sit, and
// the edges a little.
void drawShade(QPainter& p)
{
    QLinearGradient right(0, 0, kWidth, 0);
    right.setColorAt(0.0, QColor(4, 10, 24, 0));
    right.setColorAt(0.38, QColor(4, 10, 24, 40));
    right.setColorAt(0.6, QColor(4, 10, 24, 110));
    right.setColorAt(1.0, QColor(4, 10, 24, 150));
    p.fillRect(0, 0, kWidth, kHeight, right);

    QLinearGradient vertical(0, 0, 0, kHeight);
    vertical.setColorAt(0.0, QColor(0, 0, 0, 30));
    vertical.setColorAt(0.2, QColor(0, 0, 0, 0));
    vertical.setColorAt(0.8, QColor(0, 0, 0, 0));
    vertical.setColorAt(1.0, QColor(0, 0, 0, 60));
    p.fillRect(0, 0, kWidth, kHeight, vertical);

    // A thin highlight along the top edge.
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    p.drawLine(0, 0, kWidth, 0);
}

// scale 2 draws the same picture with twice the pixels each way, for screens
// that show the window at twice its size.
QImage drawBackground(int scale)
{
    QImage image(kWidth * scale, kHeight * scale, QImage::Format_RGB32);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing, true);
    drawBackdrop(p);
    drawGrid(p);
    drawVolume(p);
    drawTrend(p);
    drawCandles(p);
    drawMarker(p);
    drawShade(p);
    p.end();
    return image;
}

// The icon: three rising bars and an arrow on a rounded blue square. Drawn
// on a 32-unit grid and scaled to the size asked for, from 16 to 256 pixels;
// at 16 pixels the details are coarser so that the symbol stays crisp.
QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double s = size / 32.0;
    const bool small = size < 24;

    // The dark frame is one unit wide up to 32 pixels; above, it stops
    // growing at 3 pixels so that the large icons do not look boxed in.
    const bool large = size > 32;
    const double frame = small ? 1.0 : large ? std::min(1.0 * s, 3.0) : 1.0 * s;
    const double inset = large ? frame / 2.0 : 0.5 * s;
    const QRectF square(inset, inset, size - 2.0 * inset, size - 2.0 * inset);
    QLinearGradient bg(0, 0, 0, size);
    bg.setColorAt(0.0, QColor(0x1f, 0x5f, 0xb8));
    bg.setColorAt(1.0, QColor(0x0a, 0x23, 0x4d));
    p.setPen(QPen(QColor(0x06, 0x14, 0x2e), frame));
    p.setBrush(bg);
    p.drawRoundedRect(square, 6.5 * s, 6.5 * s);

    // The bars, aligned to whole pixels.
    const QColor green(0x46, 0xe0, 0x9c);
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    if (small) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.drawRect(3, 10, 2, 3);
        p.drawRect(7, 9, 2, 4);
        p.drawRect(11, 7, 2, 6);
        p.setRenderHint(QPainter::Antialiasing, true);
    } else {
        p.drawRoundedRect(QRectF(6 * s, 20 * s, 4 * s, 6 * s), 1 * s, 1 * s);
        p.drawRoundedRect(QRectF(14 * s, 16 * s, 4 * s, 10 * s), 1 * s, 1 * s);
        p.drawRoundedRect(QRectF(22 * s, 12 * s, 4 * s, 14 * s), 1 * s, 1 * s);
    }

    // The arrow: a white rising stroke with a head at the top right.
    const QColor white(0xff, 0xff, 0xff);
    QPainterPath stroke;
    QPolygonF head;
    if (small) {
        stroke.moveTo(2.5, 8.5);
        stroke.lineTo(5.5, 5.5);
        stroke.lineTo(8.0, 7.0);
        stroke.lineTo(11.0, 4.0);
        head << QPointF(13.2, 1.8) << QPointF(13.2, 6.3) << QPointF(8.7, 1.8);
    } else {
        stroke.moveTo(5 * s, 16 * s);
        stroke.lineTo(12 * s, 10 * s);
        stroke.lineTo(17 * s, 12.5 * s);
        stroke.lineTo(24 * s, 6.5 * s);
        head << QPointF(28.5 * s, 3.5 * s) << QPointF(28 * s, 11 * s) << QPointF(21 * s, 4.2 * s);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(white, small ? 1.6 : 2.6 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(stroke);
    p.setPen(QPen(white, small ? 0.6 : 1.0 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(white);
    p.drawPolygon(head);
    p.end();
    return image;
}

// The installer's pictures: a slice of the background, scaled to the
// picture's height and cut at the breakout of the candles, with the icon on
// it; the header's at its right, the side picture's below the candles.
QImage drawInstallerPicture(int width, int height, int iconSize, QPoint iconAt)
{
    const QImage background = drawBackground(2)
                                  .scaledToHeight(height, Qt::SmoothTransformation)
                                  .convertToFormat(QImage::Format_RGB32);
    const int breakout = int(candleX(10) * height / kHeight);
    QImage image = background.copy(std::max(0, breakout - width / 2), 0, width, height);
    QPainter p(&image);
    p.drawImage(iconAt, drawIcon(iconSize));
    p.end();
    return image;
}

bool save(const QImage& image, const QDir& dir, const QString& name, const char* format = "PNG")
{
    const QString path = dir.filePath(name);
    if (!image.save(path, format)) {
        QTextStream(stderr) << "cannot write " << path << Qt::endl;
        return false;
    }
    QTextStream(stdout) << "wrote " << path << " (" << image.width() << " x " << image.height()
                        << ")" << Qt::endl;
    return true;
}

// A Windows icon file of PNG images, one per size: a header, a directory
// entry per image, then the images.
bool saveIco(const QList<QImage>& images, const QString& path)
{
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    QList<QByteArray> pngs;
    qint64 offset = 6 + 16 * images.size();
    for (const QImage& image : images) {
        QBuffer png(&pngs.emplace_back());
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        // A size of 256 is written as 0.
        out << quint8(image.width() & 0xff) << quint8(image.height() & 0xff) << quint8(0)
            << quint8(0) << quint16(1) << quint16(32) << quint32(png.size()) << quint32(offset);
        offset += png.size();
    }
    for (const QByteArray& png : pngs)
        file += png;
    QFile ico(path);
    if (!ico.open(QIODevice::WriteOnly) || ico.write(file) != file.size()) {
        QTextStream(stderr) << "cannot write " << path << Qt::endl;
        return false;
    }
    QTextStream(stdout) << "wrote " << path << Qt::endl;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    const QDir resources(args.size() > 1 ? args.at(1) : QStringLiteral(KELVO_RESOURCES_DIR));
    const QDir themeIcons(
        QDir::cleanPath(args.size() > 2 ? args.at(2) : QStringLiteral(KELVO_THEME_ICONS_DIR)));
    for (const QDir& dir : {resources, themeIcons}) {
        if (!dir.exists() && !QDir().mkpath(dir.path())) {
            QTextStream(stderr) << "cannot create " << dir.path() << Qt::endl;
            return 1;
        }
    }

    bool ok = save(drawBackground(1), resources, QStringLiteral("background.ppm"), "PPM");
    ok = save(drawBackground(2), resources, QStringLiteral("background@2x.ppm"), "PPM") && ok;
    ok = save(drawIcon(16), resources, QStringLiteral("icon16.png")) && ok;
    ok = save(drawIcon(32), resources, QStringLiteral("icon32.png")) && ok;
    // The icon theme's 16 and 32 pixel icons are the window's own, above;
    // the larger ones are drawn here at their own size, not scaled up.
    for (const int size : kThemeIconSizes) {
        ok = save(drawIcon(size), themeIcons, QStringLiteral("%1x%1.png").arg(size)) && ok;
    }
    ok = saveIco({drawIcon(16), drawIcon(32), drawIcon(48), drawIcon(256)},
                 themeIcons.filePath(QStringLiteral("../windows/kelvo-rozevid.ico"))) &&
         ok;
    const QDir windows(QDir::cleanPath(themeIcons.filePath(QStringLiteral("../windows"))));
    ok = save(drawInstallerPicture(150, 57, 40, QPoint(102, 8)), windows,
              QStringLiteral("installer-header.bmp"), "BMP") &&
         ok;
    ok = save(drawInstallerPicture(164, 314, 96, QPoint(34, 196)), windows,
              QStringLiteral("installer-side.bmp"), "BMP") &&
         ok;
    return ok ? 0 : 1;
}

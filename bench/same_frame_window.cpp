// The baseline of the start-up and memory benchmarks: a plain Qt Widgets
// program that draws the first frame the client draws, its login panel: a
// window of the same size with the same background picture, labels, text
// boxes, combo box and button, in the same places, colours and fonts, the
// user name box holding the focus. It does what that frame needs and nothing
// else: no settings file, no main panel, no timers, no fonts read ahead.
//   kelvo-same-frame-window

#include "platform/twips.h"

#include <QApplication>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>

namespace {

class Window final : public QWidget {
public:
    Window()
    {
        // The picture's format is given, so the reader needs no image
        // plugin to find it out.
        QImageReader reader(QStringLiteral(":/background.ppm"), "ppm");
        reader.setAutoDetectImageFormat(false);
        m_background = QPixmap::fromImage(reader.read());
    }

private:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Highlight));
        painter.drawPixmap(0, 0, m_background);
    }

    QPixmap m_background;
};

// The client's combo box keeps a narrow arrow button, so that its entries
// fit; drawn the same, it takes the same style.
class NarrowArrowStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        if (control == CC_ComboBox && option) {
            const QRect r = option->rect;
            if (part == SC_ComboBoxArrow)
                return visualRect(option->direction, r,
                                  QRect(r.right() - 13, r.top(), 14, r.height()));
            if (part == SC_ComboBoxEditField)
                return visualRect(option->direction, r, r.adjusted(2, 1, -15, -1));
        }
        return QProxyStyle::subControlRect(control, option, part, widget);
    }
};

void place(QWidget* widget, int left, int top, int width, int height)
{
    using kelvo::twipsToPixels;
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Window window;
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window.setWindowTitle(QStringLiteral("Same-frame window"));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(8.25);
    window.setFont(font);
    window.setFixedSize(kelvo::twipsToPixels(8970), kelvo::twipsToPixels(2775));

    QFont labelFont(QStringLiteral("Comic Neue"));
    labelFont.setPointSizeF(9.75);
    labelFont.setBold(true);
    int top = 840;
    for (const char* caption : {"Username", "Password", "System"}) {
        auto* label = new QLabel(QString::fromLatin1(caption), &window);
        label->setFont(labelFont);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
        label->setPalette(palette);
        place(label, 5520, top, 975, 255);
        top += 360;
    }
    auto* user = new QLineEdit(&window);
    place(user, 6480, 840, 1335, 285);
    auto* password = new QLineEdit(&window);
    password->setEchoMode(QLineEdit::Password);
    place(password, 6480, 1200, 1335, 285);
    auto* system = new QComboBox(&window);
    system->addItems({QStringLiteral("Daily System"), QStringLiteral("Hourly System"),
                      QStringLiteral("Both Systems")});
    system->setCurrentIndex(-1);
    auto* style = new NarrowArrowStyle(QStyleFactory::create(window.style()->name()));
    style->setParent(system);
    system->setStyle(style);
    place(system, 6480, 1560, 1335, 315);
    auto* login = new QPushButton(QStringLiteral("Login"), &window);
    login->setEnabled(false);
    place(login, 6480, 2040, 1335, 255);

    user->setFocus();
    window.show();
    return app.exec();
}

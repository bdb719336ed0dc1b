// The window at the scale factor given by QT_SCALE_FACTOR (ctest runs this
// test at 1 and at 2): it keeps its layout in device-independent pixels, its
// pixels grow with the factor, and on each panel no text is cut off and no
// two controls overlap.

#include "formfixture.h"
#include "platform/grid.h"
#include "platform/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QtTest>

using namespace kelvo;
using namespace kelvo::test;

namespace {

double expectedFactor()
{
    bool ok = false;
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok ? factor : 1.0;
}

// Puts the window on the panel asked for, with the widest texts its
// controls show in use.
void showPanel(FormFixture& f, const QString& panel)
{
    if (panel == QLatin1String("login")) {
        f.form->Form_Load();
        f.form->BoxUser->setText(QStringLiteral("WWWWWWWWWWWW"));
        f.form->ComboSystem->setCurrentIndex(1); // "Hourly System", the longest
        f.form->LabError->show();
        f.form->show();
        return;
    }
    f.signIn(3);
    f.form->BoxLast->setText(QStringLiteral("00:00:00"));
    f.form->BoxNext->setText(QStringLiteral("00:00:00"));
    f.form->LabTime->setText(QStringLiteral("00:00:00"));
    const QStringList row = {QStringLiteral("Short"), QStringLiteral("2026-12-30"),
                             QStringLiteral("20:00"), QStringLiteral("1.0842")};
    for (int r = 1; r < f.form->FGrid->rowCount(); ++r) {
        for (int c = 1; c < f.form->FGrid->columnCount(); ++c)
            f.form->FGrid->setTextMatrix(r, c, row.value(c - 1));
    }
}

QString describe(const QWidget* w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

// Where a label's text lands inside it, laid out as the label lays it out.
QRect labelTextRect(const QLabel* label)
{
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    return label->fontMetrics().boundingRect(label->contentsRect(), flags, label->text());
}

// What a control paints, in the window's coordinates: the text of a label,
// the box of a check box, the whole of anything else. Neighbours may share
// an empty pixel of their rectangles; what they paint must not meet.
QRect inkRect(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->text().isEmpty())
            return {};
        return labelTextRect(label).intersected(w->rect()).translated(w->pos());
    }
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
        QStyleOptionButton option;
        option.initFrom(box);
        return w->style()
            ->subElementRect(QStyle::SE_CheckBoxIndicator, &option, w)
            .translated(w->pos());
    }
    return w->geometry();
}

// Every place where a text of this control is cut off, as readable lines.
QStringList clippedTexts(QWidget* w)
{
    QStringList problems;
    const QFontMetrics fm = w->fontMetrics();
    const auto check = [&](bool fits, const QString& what) {
        if (!fits)
            problems << describe(w) + QLatin1String(": ") + what;
    };

    if (auto* label = qobject_cast<QLabel*>(w)) {
        const QRect room = label->contentsRect();
        const QRect needed = labelTextRect(label);
        check(needed.width() <= room.width() && needed.height() <= room.height(),
              QStringLiteral("\"%1\" needs %2x%3, has %4x%5")
                  .arg(label->text())
                  .arg(needed.width())
                  .arg(needed.height())
                  .arg(room.width())
                  .arg(room.height()));
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        const int frame = w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
        const int width = fm.horizontalAdvance(button->text()) + 2 * frame;
        check(width <= w->width() && fm.height() <= w->height(),
              QStringLiteral("\"%1\" needs %2x%3, has %4x%5")
                  .arg(button->text())
                  .arg(width)
                  .arg(fm.height())
                  .arg(w->width())
                  .arg(w->height()));
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->hasFrame()
                               ? w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, w)
                               : 0;
        const QRect room = w->style()->subElementRect(QStyle::SE_LineEditContents, &option, w);
        const QString text = edit->displayText();
        check(fm.height() <= room.height(),
              QStringLiteral("text %1 high, room %2").arg(fm.height()).arg(room.height()));
        // Long folder names scroll; the clock times must show whole.
        if (edit->isReadOnly())
            check(fm.horizontalAdvance(text) <= room.width(),
                  QStringLiteral("\"%1\" wider than %2").arg(text).arg(room.width()));
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        const QRect field = w->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, w);
        for (int i = 0; i < combo->count(); ++i)
            check(fm.horizontalAdvance(combo->itemText(i)) <= field.width() &&
                      fm.height() <= field.height(),
                  QStringLiteral("\"%1\" (%4 wide) does not fit %2x%3")
                      .arg(combo->itemText(i))
                      .arg(field.width())
                      .arg(field.height())
                      .arg(fm.horizontalAdvance(combo->itemText(i))));
    } else if (auto* list = qobject_cast<QListWidget*>(w)) {
        const QRect room = list->viewport()->rect();
        for (int i = 0; i < list->count(); ++i) {
            const QRect item = list->visualItemRect(list->item(i));
            check(fm.horizontalAdvance(list->item(i)->text()) <= room.width() &&
                      item.height() <= room.height(),
                  QStringLiteral("\"%1\" does not fit %2x%3")
                      .arg(list->item(i)->text())
                      .arg(room.width())
                      .arg(room.height()));
        }
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
        const int side = w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w);
        check(
            side <= box->width() && side <= box->height(),
            QStringLiteral("indicator %1 in %2x%3").arg(side).arg(box->width()).arg(box->height()));
    } else if (auto* grid = qobject_cast<QtGrid*>(w)) {
        // The grid has no scroll bars: every cell must show whole.
        int height = 0;
        int width = 0;
        for (int r = 0; r < grid->rowCount(); ++r)
            height += grid->rowHeight(r);
        for (int c = 0; c < grid->columnCount(); ++c)
            width += grid->columnWidth(c);
        check(width <= grid->viewport()->width() && height <= grid->viewport()->height(),
              QStringLiteral("cells %1x%2, view %3x%4")
                  .arg(width)
                  .arg(height)
                  .arg(grid->viewport()->width())
                  .arg(grid->viewport()->height()));
        for (int r = 0; r < grid->rowCount(); ++r) {
            for (int c = 0; c < grid->columnCount(); ++c) {
                const QString text = grid->TextMatrix(r, c);
                check(fm.horizontalAdvance(text) <= grid->columnWidth(c) &&
                          fm.height() <= grid->rowHeight(r),
                      QStringLiteral("cell (%1,%2) \"%3\" in %4x%5")
                          .arg(r)
                          .arg(c)
                          .arg(text)
                          .arg(grid->columnWidth(c))
                          .arg(grid->rowHeight(r)));
            }
        }
    }
    return problems;
}

} // namespace

class TestHiDpi : public QObject {
    Q_OBJECT

private slots:
    void windowGrowsWithTheFactor();
    void panels_data();
    void panels();
};

void TestHiDpi::windowGrowsWithTheFactor()
{
    FormFixture f;
    showPanel(f, QStringLiteral("main"));
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    const double factor = expectedFactor();
    QCOMPARE(f.form->devicePixelRatioF(), factor);
    // The layout stays in device-independent pixels...
    QCOMPARE(f.form->size(), QSize(twipsToPixels(8970), twipsToPixels(2775)));
    // ...and the pixels on the screen grow with the factor.
    const QImage shot = f.form->grab().toImage();
    QCOMPARE(shot.size(), f.form->size() * factor);
}

void TestHiDpi::panels_data()
{
    QTest::addColumn<QString>("panel");
    QTest::newRow("login") << QStringLiteral("login");
    QTest::newRow("main") << QStringLiteral("main");
}

void TestHiDpi::panels()
{
    QFETCH(QString, panel);
    FormFixture f;
    showPanel(f, panel);
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));

    QList<QWidget*> shown;
    for (QObject* child : f.form->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && !w->isWindow() && w->isVisibleTo(f.form.get()))
            shown << w;
    }
    QVERIFY(shown.size() > 5);

    QStringList problems;
    for (int i = 0; i < shown.size(); ++i) {
        const QRect a = shown[i]->geometry();
        if (!f.form->rect().contains(a))
            problems << describe(shown[i]) + QLatin1String(" reaches outside the window");
        for (int j = i + 1; j < shown.size(); ++j) {
            if (inkRect(shown[i]).intersects(inkRect(shown[j])))
                problems << describe(shown[i]) + QLatin1String(" overlaps ") + describe(shown[j]);
        }
        problems << clippedTexts(shown[i]);
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1String("; "))));
}

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"

#include "app/mainform.h"

#include "alerts/alarmpacing.h"
#include "config/configfile.h"
#include "platform/filesave.h"
#include "platform/fontsetup.h"
#include "platform/twips.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>

namespace kelvo {
namespace {

QFont defaultFont()
{
    QFont font(dialogFaces().constFirst());
    font.setFamilies(dialogFaces());
    font.setPointSizeF(8.25);
    return font;
}

QFont labelFont()
{
    QFont font(labelFaces().constFirst());
    font.setFamilies(labelFaces());
    font.setPointSizeF(9.75);
    font.setBold(true);
    return font;
}

// The system box is narrow for its longest entry, "Hourly System", and the
// time-zone list for "+12" beside its scroll bar: the usual styles keep wide
// buttons, scroll bars and margins and cut the text off (Windows' the most).
// This keeps a narrower arrow button, scroll bar and thin margins, so every
// entry shows whole.
class CompactStyle final : public QProxyStyle {
public:
    explicit CompactStyle(QStyle* base) : QProxyStyle(base) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override
    {
        if (metric == PM_ScrollBarExtent)
            return 14;
        if (metric == PM_FocusFrameHMargin)
            return 1;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        if (control == CC_ComboBox && option) {
            constexpr int kArrowWidth = 14;
            const QRect r = option->rect;
            if (part == SC_ComboBoxArrow)
                return visualRect(
                    option->direction, r,
                    QRect(r.right() - kArrowWidth + 1, r.top(), kArrowWidth, r.height()));
            if (part == SC_ComboBoxEditField)
                return visualRect(option->direction, r, r.adjusted(2, 1, -(kArrowWidth + 1), -1));
        }
        return QProxyStyle::subControlRect(control, option, part, widget);
    }
};

// Once an entry is chosen, one always stays chosen: a click with Ctrl on the
// chosen entry would otherwise leave none, and with it no time zone to show
// or save.
class KeepOneSelected final : public QItemSelectionModel {
public:
    using QItemSelectionModel::QItemSelectionModel;

    void select(const QItemSelection& selection, SelectionFlags command) override
    {
        const QModelIndexList before = selectedIndexes();
        if (!before.isEmpty() && (command & (Deselect | Toggle | Clear)) && !(command & Select)) {
            const bool dropsAll = std::all_of(before.cbegin(), before.cend(), [&](const auto& i) {
                return (command & Clear) || selection.contains(i);
            });
            if (dropsAll)
                return;
        }
        QItemSelectionModel::select(selection, command);
    }
};

// The window's pictures are built into the program: the icons as PNG, the
// background as PPM, read far faster than a PNG decodes. Read in the format
// given: an image reader left to guess it loads every image plugin installed
// to ask it, even when it is told the format.
QPixmap readImage(const QString& resource, const char* format)
{
    QImageReader reader(resource, format);
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

// Screens that show the window at twice its size or more get the picture
// drawn with twice the pixels.
qreal backgroundRatio(qreal devicePixelRatio)
{
    return devicePixelRatio > 1.0 ? 2.0 : 1.0;
}

} // namespace

void placeTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

const QStringList& MainForm::timeZoneEntries()
{
    static const QStringList entries = {
        QStringLiteral("+12"), QStringLiteral("+11"), QStringLiteral("+10"), QStringLiteral("+09"),
        QStringLiteral("+08"), QStringLiteral("+07"), QStringLiteral("+06"), QStringLiteral("+05"),
        QStringLiteral("+04"), QStringLiteral("+03"), QStringLiteral("+02"), QStringLiteral("+01"),
        QStringLiteral("+0"),  QStringLiteral("-01"), QStringLiteral("-02"), QStringLiteral("-03"),
        QStringLiteral("-04"), QStringLiteral("-05"), QStringLiteral("-06"), QStringLiteral("-07"),
        QStringLiteral("-08"), QStringLiteral("-09"), QStringLiteral("-10"), QStringLiteral("-11"),
        QStringLiteral("-12")};
    return entries;
}

const QStringList& MainForm::systemNames()
{
    static const QStringList names = {QStringLiteral("Daily System"),
                                      QStringLiteral("Hourly System"),
                                      QStringLiteral("Both Systems")};
    return names;
}

MainForm::MainForm(Platform platform, const QUrl& serviceUrl, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_platform(std::move(platform)), m_serviceUrl(serviceUrl)
{
    setWindowTitle(QStringLiteral("Kelvo-Rozevid - Connecting you to profitable trading"));
    QIcon icon;
    icon.addPixmap(readImage(QStringLiteral(":/icon16.png"), "png"));
    icon.addPixmap(readImage(QStringLiteral(":/icon32.png"), "png"));
    setWindowIcon(icon);
    setFont(defaultFont());
    setFixedSize(twipsToPixels(8970), twipsToPixels(2775));

    createControls();
    setTabOrder();
    setAccessibleNames();

    InetLogin = m_platform.makeTransfer();
    InetTime = m_platform.makeTransfer();
    InetSignals = m_platform.makeTransfer();

    m_platform.trayIcon->setRestoreHandler([this] { RestoreFromTray(); });

    Timer = m_platform.makeTimer(this);
    Timer_Check = m_platform.makeTimer(this);
    Timer->start(1000, [this] { Timer_Timer(); });
    Timer_Check->start(10000, [this] { Timer_Check_Timer(); });
}

MainForm::~MainForm()
{
    Form_Terminate();
}

void MainForm::createControls()
{
    // The labels' light text and the check boxes' dark ground, the same in
    // every colour group: not active is the window's usual state beside the
    // trading platform, and Windows' style turns the inactive highlighted text
    // black and the inactive highlight grey.
    QPalette steady = palette();
    for (const QPalette::ColorRole role : {QPalette::HighlightedText, QPalette::Highlight})
        steady.setColor(role, steady.color(QPalette::Active, role));
    steady.setColor(QPalette::WindowText,
                    steady.color(QPalette::Active, QPalette::HighlightedText));
    auto label = [&](const QString& caption, int l, int t, int w, int h) {
        auto* lab = new QLabel(caption, this);
        lab->setFont(labelFont());
        lab->setAutoFillBackground(false);
        lab->setPalette(steady);
        placeTwips(lab, l, t, w, h);
        return lab;
    };
    auto textBox = [&](int l, int t, int w, int h) {
        auto* box = new QLineEdit(this);
        placeTwips(box, l, t, w, h);
        return box;
    };
    auto button = [&](const QString& caption, int l, int t, int w, int h) {
        auto* but = new QPushButton(caption, this);
        but->setAutoDefault(false);
        placeTwips(but, l, t, w, h);
        return but;
    };
    auto checkBox = [&](int l, int t) {
        auto* box = new QCheckBox(this);
        box->setChecked(true);
        box->setAutoFillBackground(true);
        box->setBackgroundRole(QPalette::Highlight);
        box->setPalette(steady);
        placeTwips(box, l, t, 255, 255);
        return box;
    };

    // Login panel.
    BoxUser = textBox(6480, 840, 1335, 285);
    BoxUser->setMaxLength(12);
    BoxPassword = textBox(6480, 1200, 1335, 285);
    BoxPassword->setMaxLength(12);
    BoxPassword->setEchoMode(QLineEdit::Password);
    ComboSystem = new QComboBox(this);
    const auto compactStyle = [this](QWidget* owner) {
        auto* compact = new CompactStyle(QStyleFactory::create(style()->name()));
        compact->setParent(owner);
        return compact;
    };
    ComboSystem->setStyle(compactStyle(ComboSystem));
    ComboSystem->setEditable(false);
    ComboSystem->addItems(systemNames());
    ComboSystem->setCurrentIndex(-1);
    ComboSystem->installEventFilter(this);
    ComboSystem->view()->installEventFilter(this);
    placeTwips(ComboSystem, 6480, 1560, 1335, 315);
    Login = button(QStringLiteral("Login"), 6480, 2040, 1335, 255);
    Login->setEnabled(false);
    LabUser = label(QStringLiteral("Username"), 5520, 840, 975, 255);
    LabPass = label(QStringLiteral("Password"), 5520, 1200, 975, 255);
    LabSystem = label(QStringLiteral("System"), 5520, 1560, 975, 255);
    LabError = label(loginRefusedText(), 2160, 2355, 6735, 405); // two lines need 27 pixels
    LabError->setFont(font());
    LabError->setWordWrap(true);
    LabError->hide();

    // Main panel.
    FGrid = new QtGrid(this);
    FGrid->setFont(font());
    placeTwips(FGrid, 3600, 1080, 255, 1215);
    LabLast = label(QStringLiteral("Last Update"), 3720, 600, 1215, 255);
    BoxLast = textBox(4920, 600, 735, 285);
    LabNext = label(QStringLiteral("Next Check"), 5760, 600, 1215, 255);
    BoxNext = textBox(6960, 600, 735, 285);
    for (QLineEdit* box : {BoxLast, BoxNext}) {
        // Written by the program only.
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::NoFocus);
    }
    LabTime = label(QString(), 7800, 600, 975, 255);
    LabGMT = label(QStringLiteral("TimeZone"), 2040, 600, 975, 255);
    ListBoxGMT = new QListWidget(this);
    ListBoxGMT->addItems(timeZoneEntries());
    ListBoxGMT->setSelectionModel(new KeepOneSelected(ListBoxGMT->model(), ListBoxGMT));
    ListBoxGMT->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBoxGMT->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ListBoxGMT->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBoxGMT->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    ListBoxGMT->setStyle(compactStyle(ListBoxGMT));
    ListBoxGMT->verticalScrollBar()->setStyle(ListBoxGMT->style());
    ListBoxGMT->setCurrentRow(-1);
    ListBoxGMT->clearSelection();
    placeTwips(ListBoxGMT, 3000, 600, 615, 255);
    ButBrowse = button(QStringLiteral("Browse"), 2640, 120, 975, 255);
    BoxPath = textBox(3720, 120, 3975, 285);
    ButSavePath = button(QStringLiteral("Apply/Save"), 7800, 120, 1095, 255);
    ButSavePath->setEnabled(false);
    LabAlerts = label(QStringLiteral("Check Sound Signal Alarm Export Data Auto Start"), 120, 1800,
                      1215, 960);
    LabAlerts->setWordWrap(true);
    LabAlerts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    CheckSound = checkBox(1440, 1800);
    CheckAlarm = checkBox(1440, 2040);
    CheckText = checkBox(1440, 2280);
    CheckAutoStart = checkBox(1440, 2505); // its border wholly inside the window
    CheckAutoStart->setChecked(false);     // until the start folder's entry is found
    LabExportError = label(QStringLiteral("The last export failed"), 3000, 2400, 2760, 255);
    // Left of the grid, below the time zone: free at any number of rows.
    LabNoAnswer = label(QString(), 120, 1080, 3360, 600);
    LabNoAnswer->setWordWrap(true);
    LabNoAnswer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Below "Minimize", beside "Auto Start": what its last click did.
    LabAutoStart = label(QString(), 1740, 2550, 1245, 210);
    LabAutoStart->setFont(font());
    ButTestSound = button(alerts::testAlarmCaption(), 1800, 1920, 1095, 255);
    ButMinimize = button(QStringLiteral("Minimize"), 1800, 2280, 1095, 255);
    ButManUpdate = button(QStringLiteral("Manual Update"), 5880, 2400, 1335, 255);
    ButExit = button(QStringLiteral("Exit"), 7560, 2400, 1095, 255);

    // The controls answer to their names, as the rest of the program knows them.
    const std::pair<QObject*, const char*> named[] = {
        {LabUser, "LabUser"},
        {LabPass, "LabPass"},
        {LabSystem, "LabSystem"},
        {BoxUser, "BoxUser"},
        {BoxPassword, "BoxPassword"},
        {ComboSystem, "ComboSystem"},
        {Login, "Login"},
        {LabError, "LabError"},
        {FGrid, "FGrid"},
        {LabLast, "LabLast"},
        {BoxLast, "BoxLast"},
        {LabNext, "LabNext"},
        {BoxNext, "BoxNext"},
        {LabTime, "LabTime"},
        {LabGMT, "LabGMT"},
        {ListBoxGMT, "ListBoxGMT"},
        {ButBrowse, "ButBrowse"},
        {BoxPath, "BoxPath"},
        {ButSavePath, "ButSavePath"},
        {LabAlerts, "LabAlerts"},
        {CheckSound, "CheckSound"},
        {CheckAlarm, "CheckAlarm"},
        {CheckText, "CheckText"},
        {CheckAutoStart, "CheckAutoStart"},
        {LabExportError, "LabExportError"},
        {LabNoAnswer, "LabNoAnswer"},
        {LabAutoStart, "LabAutoStart"},
        {ButTestSound, "ButTestSound"},
        {ButMinimize, "ButMinimize"},
        {ButManUpdate, "ButManUpdate"},
        {ButExit, "ButExit"},
    };
    for (const auto& [control, name] : named)
        control->setObjectName(QLatin1String(name));

    for (QWidget* w : std::initializer_list<QWidget*>{
             FGrid,       LabLast,      BoxLast,   LabNext,        BoxNext,     LabTime,
             LabGMT,      ListBoxGMT,   ButBrowse, BoxPath,        ButSavePath, LabAlerts,
             CheckSound,  CheckAlarm,   CheckText, LabExportError, LabNoAnswer, ButTestSound,
             ButMinimize, ButManUpdate, ButExit,   CheckAutoStart, LabAutoStart})
        w->hide();

    connect(BoxUser, &QLineEdit::textChanged, this, &MainForm::BoxUser_Change);
    connect(BoxPassword, &QLineEdit::textChanged, this, &MainForm::BoxPassword_Change);
    connect(ComboSystem, &QComboBox::currentIndexChanged, this, &MainForm::ComboSystem_Click);
    // An entry selected in the closed list (by an assistive technology,
    // with no keyboard) is picked.
    connect(ComboSystem->view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!ComboSystem->view()->isVisible() && !selected.indexes().isEmpty())
                    ComboSystem->setCurrentIndex(selected.indexes().first().row());
            });
    connect(Login, &QPushButton::clicked, this, &MainForm::Login_Click);
    // Enter in either text box presses "Login" while it is enabled.
    for (QLineEdit* box : {BoxUser, BoxPassword}) {
        connect(box, &QLineEdit::returnPressed, this, [this] {
            if (Login->isEnabled() && Login->isVisible())
                Login_Click();
        });
    }
    connect(ButExit, &QPushButton::clicked, this, &MainForm::ButExit_Click);
    connect(ButMinimize, &QPushButton::clicked, this, &MainForm::ButMinimize_Click);
    connect(ButManUpdate, &QPushButton::clicked, this, &MainForm::ButManUpdate_Click);
    connect(ButTestSound, &QPushButton::clicked, this, &MainForm::ButTestSound_Click);
    connect(ListBoxGMT, &QListWidget::itemSelectionChanged, this, &MainForm::ListBoxGMT_Click);
    connect(BoxPath, &QLineEdit::textChanged, this, &MainForm::BoxPath_Change);
    connect(BoxPath, &QLineEdit::returnPressed, this, &MainForm::BoxPath_KeyPress);
    connect(ButBrowse, &QPushButton::clicked, this, &MainForm::ButBrowse_Click);
    connect(ButSavePath, &QPushButton::clicked, this, &MainForm::ButSavePath_Click);
    connect(CheckAutoStart, &QCheckBox::clicked, this, &MainForm::CheckAutoStart_Click);
}

void MainForm::setTabOrder()
{
    const QList<QWidget*> order = {
        ButMinimize, ButManUpdate, ButExit,     ButBrowse, BoxPath,        ButSavePath,
        ListBoxGMT,  CheckSound,   CheckAlarm,  CheckText, CheckAutoStart, ButTestSound,
        BoxUser,     BoxPassword,  ComboSystem, Login,     FGrid};
    for (int i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order.at(i), order.at(i + 1));
}

QString MainForm::gmtText() const
{
    const QList<QListWidgetItem*> selected = ListBoxGMT->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void MainForm::selectTimeZone(const QString& entry)
{
    const int row = timeZoneEntries().indexOf(entry);
    if (row < 0)
        return;
    ListBoxGMT->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    ListBoxGMT->scrollToItem(ListBoxGMT->item(row), QAbstractItemView::PositionAtTop);
}

QString MainForm::configPath() const
{
    return AppPath + QLatin1String(config::kFileName);
}

void MainForm::showMessage(const QString& title, const QString& text)
{
    if (m_beforeMessage)
        m_beforeMessage();
    m_platform.messageBox->show(this, title, text);
}

void MainForm::Form_Load()
{
    AppPath = config::appPathFor(QDir::currentPath());
    const QString path = configPath();

    const config::LoadOutcome outcome =
        config::evaluateConfig(config::readConfigFile(path), DirExists);

    if (!outcome.folder.isEmpty())
        BoxPath->setText(outcome.folder);
    if (outcome.zoneEntry) {
        selectTimeZone(*outcome.zoneEntry);
        OldGMT = gmtText();
    } else {
        // Nothing chosen yet: the list shows the zone the times are shown in.
        ListBoxGMT->scrollToItem(
            ListBoxGMT->item(timeZoneEntries().indexOf(config::zoneEntryToSave({}))),
            QAbstractItemView::PositionAtTop);
    }
    if (outcome.rewrite) {
        const config::Message message = config::writeRepairedConfig(path, outcome);
        showMessage(message.title, message.text);
    }
    if (BoxPath->text().isEmpty())
        BoxPath->setText(config::defaultExportFolder());
    BoxPathString = BoxPath->text();

    FGrid->setTextMatrix(0, 0, QStringLiteral("Time: GMT+0"));
    BoxUser->setFocus();
    loadAutostart();
    RunUpdateCycle();
}

void MainForm::ShowMainPanel()
{
    for (QWidget* w : std::initializer_list<QWidget*>{LabError, LabUser, LabPass, LabSystem,
                                                      BoxUser, BoxPassword, ComboSystem, Login})
        w->hide();

    FGrid->setCols(5);
    FGrid->setTextMatrix(0, 1, QStringLiteral("Position"));
    FGrid->setTextMatrix(0, 2, QStringLiteral("Date"));
    FGrid->setTextMatrix(0, 3, QStringLiteral("Time"));
    FGrid->setTextMatrix(0, 4, QStringLiteral("Entry Price"));
    FGrid->setWidth(5110);

    switch (System) {
    case 3:
        FGrid->setRows(4);
        FGrid->setHeight(1070);
        FGrid->setTextMatrix(1, 0, QStringLiteral("Hourly Regular"));
        FGrid->setTextMatrix(2, 0, QStringLiteral("Hourly Filtered"));
        FGrid->setTextMatrix(3, 0, QStringLiteral("Daily System"));
        break;
    case 2:
        FGrid->setRows(3);
        FGrid->setHeight(825);
        FGrid->setTextMatrix(1, 0, QStringLiteral("Hourly Regular"));
        FGrid->setTextMatrix(2, 0, QStringLiteral("Hourly Filtered"));
        break;
    case 1:
        FGrid->setRows(2);
        FGrid->setHeight(580);
        FGrid->setTextMatrix(1, 0, QStringLiteral("Daily System"));
        break;
    default:
        break;
    }
    FGrid->setVisible(true);

    for (QWidget* w : std::initializer_list<QWidget*>{
             BoxLast, LabLast, LabNext, BoxNext, LabTime, ButManUpdate, ButMinimize, ButTestSound,
             ListBoxGMT, LabGMT, LabAlerts, CheckText, CheckAlarm, CheckSound, ButExit, BoxPath,
             ButSavePath, CheckAutoStart})
        w->show();
    ButSavePath->setEnabled(false);
    ButBrowse->show();

    FGrid->setColWidth(0, 1170);
    for (int col = 0; col <= 4; ++col)
        FGrid->setColAlignment(col, Grid::kAlignCenterCenter);
}

void MainForm::ButExit_Click()
{
    // Leave at once: nothing more is asked of the service and nothing more is
    // written.
    InetLogin->cancel();
    InetTime->cancel();
    InetSignals->cancel();
    Timer.reset();
    Timer_Check.reset();
    hide();
    emit exitRequested();
}

void MainForm::Form_Terminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    RemoveTrayIcon();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    Form_Terminate();
    event->accept();
    emit exitRequested();
}

QPixmap MainForm::backgroundPicture(qreal devicePixelRatio)
{
    const qreal ratio = backgroundRatio(devicePixelRatio);
    QPixmap picture = readImage(ratio > 1.0 ? QStringLiteral(":/background@2x.ppm")
                                            : QStringLiteral(":/background.ppm"),
                                "ppm");
    picture.setDevicePixelRatio(ratio);
    return picture;
}

void MainForm::setBackgroundPicture(const QPixmap& picture)
{
    m_background = picture;
}

void MainForm::paintEvent(QPaintEvent*)
{
    // Without a picture handed in beforehand, or with one for another
    // screen, the picture is decoded here, at the first paint.
    if (m_background.isNull() ||
        m_background.devicePixelRatio() != backgroundRatio(devicePixelRatioF()))
        m_background = backgroundPicture(devicePixelRatioF());
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Highlight));
    if (!m_background.isNull())
        painter.drawPixmap(0, 0, m_background);
    if (m_readAfterFirstFrame) {
        m_readAfterFirstFrame = false;
        QTimer::singleShot(0, this, &MainForm::ReadKeptLogin);
    }
}

bool MainForm::eventFilter(QObject* watched, QEvent* event)
{
    // The system box is pick-only: typed characters are discarded, while the
    // arrow keys, paging and Tab still work.
    if ((watched == ComboSystem || watched == ComboSystem->view()) &&
        event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint())
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kelvo

#include "app/mainform.h"

#include "alerts/alarmpacing.h"
#include "app/controls.h"
#include "app/historywindow.h"
#include "app/phonealertsdialog.h"
#include "config/configfile.h"
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
#include <QSignalBlocker>
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
      m_platform(std::move(platform)), m_session(m_platform.core, serviceUrl)
{
    setWindowTitle(QStringLiteral("Kelvo-Rozevid - Connecting you to profitable trading"));
    QIcon icon;
    icon.addPixmap(readImage(QStringLiteral(":/icon16.png"), "png"));
    icon.addPixmap(readImage(QStringLiteral(":/icon32.png"), "png"));
    setWindowIcon(icon);
    setFont(defaultFont());
    setFixedSize(twipsToPixels(8970), twipsToPixels(2775));

    createControls();
    setAccessibleNames();
    connectControls();
    connectSession();
    m_platform.trayIcon->setRestoreHandler([this] { restoreFromTray(); });
}

MainForm::~MainForm()
{
    terminate();
}

namespace {
template <class T> void bind(const QWidget* form, T*& control, const char* name)
{
    control = form->findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    Q_ASSERT(control);
}

// A note that shows while something is wrong, with why as its tip.
void showWhy(QLabel* note, const QString& why)
{
    note->setToolTip(why);
    note->setAccessibleDescription(why);
    note->setVisible(!why.isEmpty());
}

// A window of the program's own: made at its first opening, and brought to
// the front at every one.
void bringUp(QPointer<QWidget>& window, const std::function<QWidget*()>& make)
{
    if (!window) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowFlag(Qt::Window);
    }
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

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

    using controls::Kind;
    QList<std::pair<int, QWidget*>> tabOrder;
    for (const controls::Control& c : controls::kControls) {
        const QString caption = QString::fromLatin1(c.caption);
        QWidget* control = nullptr;
        switch (c.kind) {
        case Kind::Label: {
            auto* label = new QLabel(caption, this);
            label->setFont(labelFont());
            label->setAutoFillBackground(false);
            label->setPalette(steady);
            control = label;
            break;
        }
        case Kind::Text:
        case Kind::Display:
        case Kind::Password: {
            auto* box = new QLineEdit(this);
            if (c.kind == Kind::Display) {
                // Written by the program only.
                box->setReadOnly(true);
                box->setFocusPolicy(Qt::NoFocus);
            }
            if (c.kind == Kind::Password)
                box->setEchoMode(QLineEdit::Password);
            control = box;
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton(caption, this);
            button->setAutoDefault(false);
            control = button;
            break;
        }
        case Kind::CheckBox: {
            auto* box = new QCheckBox(this);
            box->setAutoFillBackground(true);
            box->setBackgroundRole(QPalette::Highlight);
            box->setPalette(steady);
            control = box;
            break;
        }
        case Kind::ComboBox:
            control = new QComboBox(this);
            break;
        case Kind::List:
            control = new QListWidget(this);
            break;
        case Kind::Grid:
            control = new QtGrid(this);
            break;
        }
        control->setObjectName(QLatin1String(c.name));
        placeTwips(control, c.left, c.top, c.width, c.height);
        if (c.panel != controls::Panel::Login)
            control->hide();
        if (c.tab > 0)
            tabOrder.append({c.tab, control});
    }
    std::sort(tabOrder.begin(), tabOrder.end());
    for (int i = 0; i + 1 < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder.at(i).second, tabOrder.at(i + 1).second);

    bind(this, LabUser, "LabUser");
    bind(this, LabPass, "LabPass");
    bind(this, LabSystem, "LabSystem");
    bind(this, BoxUser, "BoxUser");
    bind(this, BoxPassword, "BoxPassword");
    bind(this, ComboSystem, "ComboSystem");
    bind(this, Login, "Login");
    bind(this, LabError, "LabError");
    bind(this, FGrid, "FGrid");
    bind(this, LabLast, "LabLast");
    bind(this, BoxLast, "BoxLast");
    bind(this, LabNext, "LabNext");
    bind(this, BoxNext, "BoxNext");
    bind(this, LabTime, "LabTime");
    bind(this, LabGMT, "LabGMT");
    bind(this, ListBoxGMT, "ListBoxGMT");
    bind(this, ButBrowse, "ButBrowse");
    bind(this, BoxPath, "BoxPath");
    bind(this, ButSavePath, "ButSavePath");
    bind(this, LabAlerts, "LabAlerts");
    bind(this, CheckSound, "CheckSound");
    bind(this, CheckAlarm, "CheckAlarm");
    bind(this, CheckText, "CheckText");
    bind(this, CheckAutoStart, "CheckAutoStart");
    bind(this, LabExportError, "LabExportError");
    bind(this, LabNoAnswer, "LabNoAnswer");
    bind(this, LabAutoStart, "LabAutoStart");
    bind(this, ButTestSound, "ButTestSound");
    bind(this, ButMinimize, "ButMinimize");
    bind(this, ButManUpdate, "ButManUpdate");
    bind(this, ButExit, "ButExit");
    bind(this, ButPhoneAlerts, "ButPhoneAlerts");
    bind(this, ButHistory, "ButHistory");
    bind(this, LabAlertError, "LabAlertError");

    // Login panel.
    BoxUser->setMaxLength(12);
    BoxPassword->setMaxLength(12);
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
    Login->setEnabled(false);
    LabError->setText(loginRefusedText());
    LabError->setFont(font());
    LabError->setWordWrap(true);

    // Main panel.
    FGrid->setFont(font());
    ListBoxGMT->addItems(config::timeZoneEntries());
    ListBoxGMT->setSelectionModel(new KeepOneSelected(ListBoxGMT->model(), ListBoxGMT));
    ListBoxGMT->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBoxGMT->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ListBoxGMT->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBoxGMT->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    ListBoxGMT->setStyle(compactStyle(ListBoxGMT));
    ListBoxGMT->verticalScrollBar()->setStyle(ListBoxGMT->style());
    ListBoxGMT->setCurrentRow(-1);
    ListBoxGMT->clearSelection();
    // Nothing chosen yet: the list shows the zone the times are shown in.
    ListBoxGMT->scrollToItem(
        ListBoxGMT->item(config::timeZoneEntries().indexOf(config::zoneEntryToSave({}))),
        QAbstractItemView::PositionAtTop);
    ButSavePath->setEnabled(false);
    LabAlerts->setWordWrap(true);
    LabAlerts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QCheckBox* box : {CheckSound, CheckAlarm, CheckText})
        box->setChecked(true);
    // Unchecked until the start folder's kept login is found.
    CheckAutoStart->setChecked(false);
    LabNoAnswer->setWordWrap(true);
    LabNoAnswer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabAutoStart->setFont(font());
    LabAlertError->setFont(font());
}

void MainForm::connectControls()
{
    connect(BoxUser, &QLineEdit::textChanged, this, &MainForm::updateLoginButton);
    connect(BoxPassword, &QLineEdit::textChanged, this, &MainForm::updateLoginButton);
    connect(ComboSystem, &QComboBox::currentIndexChanged, this, &MainForm::updateLoginButton);
    // An entry selected in the closed list (by an assistive technology,
    // with no keyboard) is picked.
    connect(ComboSystem->view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!ComboSystem->view()->isVisible() && !selected.indexes().isEmpty())
                    ComboSystem->setCurrentIndex(selected.indexes().first().row());
            });
    const auto login = [this] {
        LabError->hide();
        m_session.login(BoxUser->text(), BoxPassword->text(), ComboSystem->currentText());
    };
    connect(Login, &QPushButton::clicked, this, login);
    // Enter in either text box presses "Login" while it is enabled.
    for (QLineEdit* box : {BoxUser, BoxPassword}) {
        connect(box, &QLineEdit::returnPressed, this, [this, login] {
            if (Login->isEnabled() && Login->isVisible())
                login();
        });
    }
    connect(ButExit, &QPushButton::clicked, this, &MainForm::exit);
    connect(ButMinimize, &QPushButton::clicked, this, &MainForm::minimize);
    connect(ButManUpdate, &QPushButton::clicked, &m_session, &service::Session::updateNow);
    connect(ButTestSound, &QPushButton::clicked, &m_session.alarm(), &alerts::Alarm::toggle);
    connect(ButPhoneAlerts, &QPushButton::clicked, this, &MainForm::openPhoneAlerts);
    connect(ButHistory, &QPushButton::clicked, this, &MainForm::openHistory);

    config::Settings& settings = m_session.settings();
    connect(ListBoxGMT, &QListWidget::itemSelectionChanged, this, [this, &settings] {
        const QList<QListWidgetItem*> selected = ListBoxGMT->selectedItems();
        settings.setZone(selected.isEmpty() ? QString() : selected.first()->text());
    });
    connect(BoxPath, &QLineEdit::textChanged, &settings, &config::Settings::setFolder);
    // Enter saves, whether or not anything changed.
    connect(BoxPath, &QLineEdit::returnPressed, &settings, &config::Settings::save);
    connect(ButSavePath, &QPushButton::clicked, &settings, &config::Settings::save);
    connect(ButBrowse, &QPushButton::clicked, this, [this] {
        const QString folder = m_platform.fileDialog->chooseFolder(this);
        if (!folder.isEmpty())
            BoxPath->setText(config::appPathFor(folder));
    });

    // A box does the same whatever changed it: a click, Space, or an
    // assistive technology's action. The program's own changes of a box
    // block its signals.
    connect(CheckSound, &QCheckBox::toggled, &m_session, &service::Session::setSoundOn);
    connect(CheckAlarm, &QCheckBox::toggled, &m_session, &service::Session::setAlarmEnabled);
    connect(CheckText, &QCheckBox::toggled, &m_session, &service::Session::setExportOn);
    connect(CheckAutoStart, &QCheckBox::toggled, this, &MainForm::autoStartToggled);
}

void MainForm::connectSession()
{
    service::Session& s = m_session;
    connect(&s, &service::Session::loginStarted, this, [this] { Login->setEnabled(false); });
    connect(&s, &service::Session::loginAccepted, this, [this](bool kept) {
        showMainPanel();
        // The clear password is not needed any more; only its encoding is kept.
        BoxPassword->clear();
        if (kept && m_startedByDesktop) {
            m_trayWaitSince = m_platform.core.clock->now();
            hideWhenTrayShows();
        }
    });
    connect(&s, &service::Session::loginRefused, this, [this] {
        showLoginError(loginRefusedText());
        updateLoginButton();
    });
    connect(&s, &service::Session::loginUnreachable, this, [this](bool kept) {
        showLoginError(kept ? keptLoginRetryText() : serviceUnreachableText());
        updateLoginButton();
    });
    connect(&s, &service::Session::keptLoginFound, this, [this](const QString& user, int system) {
        BoxUser->setText(user);
        ComboSystem->setCurrentIndex(system - 1);
    });
    connect(&s, &service::Session::keptLoginUnreadable, this,
            [this] { showLoginError(keptLoginUnreadableText()); });
    connect(&s, &service::Session::secondPassed, this, [this](const QDateTime& now) {
        LabTime->setText(now.toString(QStringLiteral("HH:mm:ss")));
        nameClock();
        if (m_trayWaitSince)
            hideWhenTrayShows();
    });
    connect(&s, &service::Session::serviceTimeChanged, BoxLast, &QLineEdit::setText);
    connect(&s, &service::Session::nextCheckChanged, BoxNext, &QLineEdit::setText);
    connect(&s, &service::Session::signalsArrived, this, &MainForm::showGrid);
    connect(&s, &service::Session::positionsChanged, this,
            [this](const service::SignalRows&, const service::SignalRows& rows) {
                restoreFromTray();
                announcePositions(rows);
            });
    connect(&s, &service::Session::alarmSwitched, this, [this](bool on) {
        ButTestSound->setText(on ? alerts::stopAlarmCaption() : alerts::testAlarmCaption());
    });
    connect(&s, &service::Session::silenceStarted, this, &MainForm::showSilence);
    connect(&s, &service::Session::answeringAgain, this, [this] { showSilence(std::nullopt); });
    connect(&s, &service::Session::checkFailed, this, [this] {
        if (m_session.silentSince())
            showSilence(m_session.silentSince());
    });
    // Shown in the window, never in a box: an unattended client must not
    // stop and wait for a click.
    connect(&s, &service::Session::exportFailed, this, &MainForm::showExportFailure);
    connect(&s, &service::Session::exportWritten, this, [this] { showExportFailure({}); });
    const alerts::PhoneAlerts& phone = s.phoneAlerts();
    connect(&phone, &alerts::PhoneAlerts::delivered, this, [this] { showAlertFailure({}); });
    connect(&phone, &alerts::PhoneAlerts::sendFailed, this,
            [this](const QString& service, const QString& why) {
                showAlertFailure(service + QStringLiteral(": ") + why);
            });
    connect(&phone, &alerts::PhoneAlerts::dropped, this,
            [this](const QString& service, const QString&, const QString& why) {
                showAlertFailure(service + QStringLiteral(": given up, ") + why);
            });
    connect(&s, &service::Session::autoStartChanged, this, &MainForm::showAutoStart);
    connect(&s, &service::Session::autoStartReported, this, &MainForm::showAutoStartState);
    connect(&s, &service::Session::autoStartFailed, this, [this](const QString& text) {
        showMessage(QStringLiteral("Kelvo-Rozevid - Auto Start"), text);
    });

    config::Settings& settings = s.settings();
    connect(&settings, &config::Settings::folderReplaced, BoxPath, &QLineEdit::setText);
    connect(&settings, &config::Settings::zoneChanged, this, &MainForm::selectTimeZone);
    connect(&settings, &config::Settings::pendingChanged, ButSavePath, &QPushButton::setEnabled);
    const auto show = [this](const config::Message& message) {
        showMessage(message.title, message.text);
    };
    connect(&settings, &config::Settings::repaired, this, show);
    connect(&settings, &config::Settings::saveFailed, this, show);
    connect(&settings, &config::Settings::folderMissing, this, show);
}

void MainForm::updateLoginButton()
{
    // A field of spaces counts as filled in.
    Login->setEnabled(!ComboSystem->currentText().isEmpty() && !BoxPassword->text().isEmpty() &&
                      !BoxUser->text().isEmpty());
}

void MainForm::showLoginError(const QString& text)
{
    LabError->setText(text);
    LabError->setAccessibleName(text);
    LabError->show();
}

void MainForm::selectTimeZone(const QString& entry)
{
    const int row = config::timeZoneEntries().indexOf(entry);
    if (row < 0 || ListBoxGMT->item(row)->isSelected())
        return;
    ListBoxGMT->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    ListBoxGMT->scrollToItem(ListBoxGMT->item(row), QAbstractItemView::PositionAtTop);
}

void MainForm::showMessage(const QString& title, const QString& text)
{
    if (m_beforeMessage)
        m_beforeMessage();
    m_platform.messageBox->show(this, title, text);
}

void MainForm::load()
{
    m_session.load();
    FGrid->setTextMatrix(0, 0, QStringLiteral("Time: GMT+0"));
    BoxUser->setFocus();
}

void MainForm::showMainPanel()
{
    using controls::Panel;
    QList<QWidget*> shown;
    for (const controls::Control& c : controls::kControls) {
        auto* control = findChild<QWidget*>(QLatin1String(c.name), Qt::FindDirectChildrenOnly);
        if (c.panel == Panel::Login || c.panel == Panel::LoginNote)
            control->hide();
        else if (c.panel == Panel::Main)
            shown.append(control);
    }

    FGrid->setCols(5);
    FGrid->setTextMatrix(0, 1, QStringLiteral("Position"));
    FGrid->setTextMatrix(0, 2, QStringLiteral("Date"));
    FGrid->setTextMatrix(0, 3, QStringLiteral("Time"));
    FGrid->setTextMatrix(0, 4, QStringLiteral("Entry Price"));
    FGrid->setWidth(5110);
    // A row of 245 twips for each system, below the header row.
    const service::SignalRows& rows = m_session.rows();
    if (!rows.isEmpty()) {
        FGrid->setRows(int(rows.size()) + 1);
        FGrid->setHeight(580 + 245 * int(rows.size() - 1));
        for (int row = 0; row < rows.size(); ++row)
            FGrid->setTextMatrix(row + 1, 0, rows.at(row).title);
    }
    for (QWidget* control : shown)
        control->show();
    ButSavePath->setEnabled(false);

    FGrid->setColWidth(0, 1170);
    for (int col = 0; col <= 4; ++col)
        FGrid->setColAlignment(col, Grid::kAlignCenterCenter);
}

void MainForm::showGrid(const service::SignalRows& rows)
{
    for (int row = 0; row < rows.size(); ++row) {
        for (int col = 0; col < rows.at(row).cells.size(); ++col)
            FGrid->setTextMatrix(row + 1, col + 1, rows.at(row).cells.at(col));
    }
}

void MainForm::showSilence(const std::optional<QDateTime>& since)
{
    // Never in a box: an unattended client must not stop and wait for a
    // click. The export files keep their last good line meanwhile.
    LabNoAnswer->setText(since ? schedule::noAnswerText(*since) : QString());
    LabNoAnswer->setVisible(since.has_value());
    // Why, for whoever comes to the machine: a certificate that expired
    // reads otherwise like a service that went down.
    const QString why =
        since ? QStringLiteral("The last check: ") + m_session.lastFailure() : QString();
    LabNoAnswer->setToolTip(why);
    LabNoAnswer->setAccessibleDescription(why);
    if (m_platform.trayIcon->isShown())
        addTrayIcon(); // for its tip
}

void MainForm::showExportFailure(const QString& reason)
{
    showWhy(LabExportError, reason);
}

void MainForm::showAlertFailure(const QString& why)
{
    showWhy(LabAlertError, why);
}

void MainForm::openPhoneAlerts()
{
    bringUp(m_phoneAlertsDialog, [this] { return new PhoneAlertsDialog(m_session, this); });
}

void MainForm::openHistory()
{
    bringUp(m_historyWindow, [this] {
        QStringList rows;
        for (const service::SignalRow& row : m_session.rows())
            rows.append(row.title);
        return new HistoryWindow(m_session.journal(), rows, m_platform.core.clock, this);
    });
}

void MainForm::showAutoStart(bool on)
{
    const QSignalBlocker programsOwn(CheckAutoStart);
    CheckAutoStart->setChecked(on);
}

void MainForm::autoStartToggled(bool checked)
{
    // The box shows what is in place: it changes once the password store
    // (and the desktop's entry) have answered, and keeps the keyboard's
    // focus meanwhile.
    showAutoStart(!checked);
    m_session.setAutoStart(checked);
}

void MainForm::showAutoStartState(const QString& text)
{
    LabAutoStart->hide();
    LabAutoStart->setText(text);
    LabAutoStart->setAccessibleName(text);
    LabAutoStart->show();
}

void MainForm::exit()
{
    // Leave at once: nothing more is asked of the service and nothing more is
    // written.
    m_session.stop();
    hide();
    emit exitRequested();
}

void MainForm::terminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    m_platform.trayIcon->remove();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    terminate();
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
        QTimer::singleShot(0, &m_session, &service::Session::readKeptLogin);
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

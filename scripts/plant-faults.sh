#!/usr/bin/env bash
# Plants one fault at a time in a copy of the source tree and runs the tests
# against it, to show which tests catch which broken rule:
#   scripts/plant-faults.sh [--only ID[,ID...]] [--tests REGEX] [--exclude-label REGEX]
# For each fault below it breaks one rule in a single line of the program,
# builds, runs ctest (the quick tests, then the end-to-end tests if no quick
# test failed; never the package checks or the benchmark pass, except for a
# fault whose line names the label of the tests that catch it; then, if none
# failed and a Qt for Windows is at hand, the Windows build and its tests
# under Wine) and prints one line: the fault, then the tests that failed.
# A fault that no test catches prints "NOT CAUGHT"; a fault whose line is no
# longer in the source prints "ANCHOR MISSING", so the table is kept honest as
# the code changes. The copy lives in build-faults/; the tree itself is never
# touched.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
grep -qs "project(KelvoRozevid" "$root/CMakeLists.txt" || {
  echo "plant-faults.sh: run it from the scripts/ folder of the source tree" >&2
  exit 2
}
only=""
tests=""
exclude="package|bench|fresh-install"
while [ $# -gt 0 ]; do
  case $1 in
  --only) only=$2; shift 2 ;;
  --tests) tests=$2; shift 2 ;;
  --exclude-label) exclude=$2; shift 2 ;;
  *) echo "usage: $0 [--only ID,...] [--tests REGEX] [--exclude-label REGEX]" >&2; exit 2 ;;
  esac
done

# id # file # perl substitution (on the whole file) # the rule it breaks [# label]
faults=$(cat <<'EOF'
password#service/protocol.cpp#s/\{3, 2, 1\}/{1, 2, 3}/#password encoding: last character, "$", then characters 3, 2, 1
escaping#service/protocol.cpp#s/value\.toUtf8\(\)\.toPercentEncoding\(\)/value.toUtf8()/#query values are percent-encoded
split#service/protocol.cpp#s/reply\.split\(QLatin1Char\(','\)\)/reply.split(QLatin1Char(','), Qt::SkipEmptyParts)/#empty reply fields keep their place
markup#service/protocol.cpp#s/c == QLatin1Char\('<'\) \|\|//#a reply with markup counts as failed
trailing-break#service/protocol.cpp#s/while \(end > 0 &&/while (false \&\& end > 0 \&\&/#a line break ending the signal reply is dropped
key#service/protocol.cpp#s/positions = \{1, 5, 9\};/positions = {1, 5};/#the signal key of both systems joins three positions
time-reply#service/protocol.cpp#s/twoDigits\(0, 23\)/twoDigits(0, 99)/#a time reply must be a valid HH:MM:SS
ladder#schedule/schedulerules.cpp#s/minute = 40;/minute = 45;/#the ladder of check minutes
minute-58#schedule/schedulerules.cpp#s/constexpr int kMinute = 58;/constexpr int kMinute = 57;/#after a change the next check is minute 58
midnight#schedule/schedulerules.cpp#s/if \(hour == kHoursPerDay\) \{/if (hour > kHoursPerDay) {/#the check after 23:59 is 00:00
zone-wrap#schedule/schedulerules.cpp#s/if \(hour >= kHoursPerDay\) \{\n(\s*)hour -= kHoursPerDay;/if (hour > kHoursPerDay) {\n$1hour -= kHoursPerDay;/#the zone conversion wraps at 24
zone-sign#schedule/schedulerules.cpp#s/\? -1 : 1;/? 1 : -1;/#a "-" zone lies behind GMT
due#schedule/schedulerules.cpp#s/return truncatedToMinute\(now\) >= \*due;/return truncatedToMinute(now) > *due;/#a check is due from its own minute on
export-line#service/exportfile.cpp#s/line \+= lastUpdate \+ QStringLiteral\("\\r\\n"\);/line += lastUpdate + QStringLiteral("\\n");/#export lines end in CR LF
export-fields#service/exportfile.cpp#s/return \{\{daily, 9\}, \{hourly, 1\}\};/return {{daily, 1}, {hourly, 1}};/#the daily signal of both systems starts at field 9
atomic#platform/linux/filesave.cpp#s/if \(!writeAll\(fd, bytes\) \|\| ::fsync\(fd\) != 0 \|\| !file\.close\(\)\)/if ((void)writeAll(fd, bytes), (void)::fsync(fd), !file.close())/#a write that fails on the disk never replaces the good file
module-version#platform/modules/modules.cpp#s/if \(found != QLatin1String\(iid\)\) \{/if (false) {/#a module of another version is refused, never loaded
alarm-pacing#alerts/alarmpacing.cpp#s/counter == 0 \? AlarmAction::PlaySound/counter == 1 ? AlarmAction::PlaySound/#the alarm sounds at once, then every 23 seconds
tray-fallback#app/tray.cpp#s/if \(m_platform\.trayIcon->isShown\(\)\) \{/if (true) {/#without a notification area the window is minimised, not hidden
body-cap#platform/httptransfer.h#s/qint64 maxBodyBytes = 64 \* 1024;/qint64 maxBodyBytes = 0;/#a reply body is capped
portal-login#service/protocol.cpp#s/if \(cleanSignalReply\(reply\)\)\n/if (!reply.isEmpty())\n/#a login answered with a page of markup is not accepted
unreachable#service/protocol.cpp#s/if \(transferFailed\)\n\s*return LoginOutcome::Unreachable;\n//#a login whose transfer failed says the service was not reached
export-bytes#service/exportfile.cpp#s/return encodeAsReceived\(line, encoding\);/return line.toUtf8();/#export fields are written in the bytes received
export-shown#app/mainform.cpp#s/showWhy\(LabExportError, reason\);/showWhy(LabExportError, {});/#a failed export shows in the window
in-place#platform/linux/filesave.cpp#s/if \(const int error = ::posix_fallocate\(file\.get\(\), 0, bytes\.size\(\)\)\)/if (const int error = 0)/#an in-place rewrite claims its room before touching the file
zone-kept#app/mainform.cpp#s/ListBoxGMT->setSelectionModel\(new KeepOneSelected\(ListBoxGMT->model\(\), ListBoxGMT\)\);//#a chosen time zone cannot be unselected
installed-alarm#alerts/alarm.cpp#s/return FileExists\(installed\) \? installed : QString\(\);/return QString();/#without a sound of its own the start folder gets the installed one
alarm-beep#alerts/alarm.cpp#s/if \(!playWav\(file\)\)/if (!playWav(file) \&\& false)/#a sound that cannot be played is replaced by the beep
sni-click#platform/linux/statusnotifieritem.cpp#s/if \(m_onActivate\)\n\s*m_onActivate\(\);//#a click on a StatusNotifierItem brings the window back
late-host#platform/linux/trayicon.cpp#s/StatusNotifierItem::hostRegistered\(\)\)\)/[] { static const bool first = StatusNotifierItem::hostRegistered(); return first; }()))/#each click looks for a StatusNotifierItem host afresh
sni-tip#app/tray.cpp#s/"Kelvo-Rozevid - click to restore"/"Kelvo-Rozevid - double click to restore"/#the tip on a StatusNotifierItem host says one click restores
sni-lost#platform/linux/statusnotifieritem.cpp#s/connect\(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, \[this\] \{ lose\(\); \}\);//#the window comes back when the StatusNotifierItem host goes
xembed-lost#platform/linux/trayicon.cpp#s/\(event->response_type & 0x7f\) == m_changeEvent/false/#the window comes back when the XEmbed tray goes
one-instance#platform/qt/instanceguard.cpp#s/if \(m_lock->tryLock\(0\)\)\n/if (true)\n/#a second start in the folder hands over to the running program
per-folder#platform/qt/instanceguard.cpp#s/hash\(path\.toUtf8\(\)/hash(QByteArray()/#each start folder has a program of its own
dead-lock#platform/qt/instanceguard.cpp#s/if \(m_lock->tryLock\(0\)\)\n/if (!QFileInfo::exists(m_lock->fileName()) \&\& m_lock->tryLock(0))\n/#the lock of a program that died does not stop the next start
show-again#app/tray.cpp#s/(void MainForm::showAgain\(\)\n\{\n)    restoreFromTray\(\);\n/$1/#a second start brings the hidden window back
in-front#app/tray.cpp#s/(showAgain\(\)\n\{\n    restoreFromTray\(\);\n).*?alert\(this\);\n/$1/s#a second start puts the window in front, or marks it
unminimise#app/tray.cpp#s/setWindowState\(windowState\(\) & ~\(Qt::WindowMinimized \| Qt::WindowMaximized\)\);//#bringing the window back un-minimises it
login-alert#app/accessibility.cpp#s/setAccessibleRole\(LabError, QAccessible::AlertMessage\);//#a refused login is read out as an alert
quiet-clock#app/accessibility.cpp#s/LabTime->text\(\)\.left\(5\)/LabTime->text()/#the clock is not read out every second
zone-on-save#config/configfile.cpp#s/return selected\.isEmpty\(\) \? kZeroZone : selected;/return selected;/#a save with no zone chosen writes and chooses +0
repair-keeps#config/configfile.cpp#s/outcome\.zoneEntry \? lines\.zone : zoneLine\(kZeroZone\)/zoneLine(kZeroZone)/#a repair keeps the zone line that was valid
app-path#config/configfile.cpp#s/if \(!path\.endsWith\(QDir::separator\(\)\)\)\n\s*//#a root start folder gives no doubled separator
silence#schedule/schedulerules.cpp#s/m_failingSince\.secsTo\(now\) < kSilenceSeconds/m_lastAnswer.secsTo(now) < kSilenceSeconds/#silent after five minutes of failed checks, not of quiet
silence-place#app/controls.h#s/("LabNoAnswer",.*?)3360/${1}3600/#the silent-service label lies over nothing else
silence-ends#schedule/schedulerules.cpp#s/m_lastAnswer = at;\n\s*m_failingSince = QDateTime\(\);/m_lastAnswer = at;/#a good answer ends the silence
deb-copyright#packaging/CMakeLists.txt#s/\$\{CMAKE_CURRENT_BINARY_DIR\}\/copyright //#the package carries its copyright and licence#package
deb-changelog#packaging/CMakeLists.txt#s/ \$\{CMAKE_CURRENT_BINARY_DIR\}\/changelog\.gz//#the package carries its changelog#package
deb-manual#packaging/CMakeLists.txt#s/DESTINATION \$\{CMAKE_INSTALL_MANDIR\}\/man1/DESTINATION \${CMAKE_INSTALL_DATADIR}/#the program has its manual page#package
deb-ldconfig#platform/modules/sources.cmake#s/lib\/\$\{CMAKE_LIBRARY_ARCHITECTURE\}\/kelvo-rozevid/\${CMAKE_INSTALL_LIBDIR}\/kelvo-rozevid/#the modules are kept where the package needs no ldconfig#package
deb-twice#packaging/CMakeLists.txt#s/"gstreamer1\.0-plugins-base,/"libqt6gui6, gstreamer1.0-plugins-base,/#Depends names each package once#package
deb-tls#packaging/CMakeLists.txt#s/string\(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ca-certificates"\)//#a package for an https service depends on ca-certificates#package
renamed-over#platform/windows/filesave.cpp#s/return QFileInfo\(path\)\.isFile\(\) && !overwriteInPlace\(path, bytes\) \? std::nullopt\s*: std::optional\(reason\);/return reason;/#a file that may not be renamed over is rewritten in place
home-folder#config/configfile.cpp#s/QString home = QDir::toNativeSeparators\(portableFolder\(\)\.value_or\(QDir::homePath\(\)\)\);/QString home = portableFolder().value_or(QDir::homePath());/#the default export folder is the home folder, with the native separator
icon-double-click#platform/qt/trayicon.cpp#s/reason == QSystemTrayIcon::DoubleClick && m_onRestore/reason != QSystemTrayIcon::Context \&\& m_onRestore/#only a double click on Qt's icon (XEmbed, Windows) brings the window back
win-sound-async#platform/windows/sound.cpp#s/SND_ASYNC \| SND_FILENAME/SND_SYNC | SND_FILENAME/#the alarm sound plays without holding up the window
win-sound-installed#platform/windows/sound.cpp#s/QStringLiteral\("\/Alarm\.wav"\)/QStringLiteral("\/share\/Alarm.wav")/#on Windows the installed alarm sound lies beside the program
label-faces#platform/windows/fontfaces.cpp#s/\{QStringLiteral\("Comic Sans MS"\), QStringLiteral\("Comic Neue"\)\};/{QStringLiteral("Comic Sans MS")};/#without Comic Sans MS the labels fall back to Comic Neue
zone-list-fits#app/mainform.cpp#s/ListBoxGMT->verticalScrollBar\(\)->setStyle\(ListBoxGMT->style\(\)\);//#every time-zone entry shows whole beside the list's scroll bar
steady-labels#app/mainform.cpp#s/steady\.setColor\(QPalette::WindowText,/steady.setColor(QPalette::Active, QPalette::WindowText,/#labels read the same when the window is not active
steady-boxes#app/mainform.cpp#s/steady\.setColor\(role, steady\.color\(QPalette::Active, role\)\);/steady.setColor(QPalette::Active, role, steady.color(QPalette::Active, role));/#check boxes read the same when the window is not active
zone-in-use-shown#app/mainform.cpp#s/ListBoxGMT->item\(config::timeZoneEntries\(\)\.indexOf\(config::zoneEntryToSave\(\{\}\)\)\)/ListBoxGMT->item(0)/#before a zone is chosen the list shows the zone in use
browse-separator#app/mainform.cpp#s/BoxPath->setText\(config::appPathFor\(folder\)\);/BoxPath->setText(folder);/#the folder Browse picks ends with the separator
config-utf8-write#config/configfile.cpp#s/return kByteOrderMark \+ text\.toUtf8\(\);/return text.toLocal8Bit();/#Config.dat beyond the code page is written in UTF-8 after its mark
config-utf8-read#config/configfile.cpp#s/bytes\.startsWith\(kByteOrderMark\)/false/#Config.dat that starts with the mark is read as UTF-8
config-ansi#config/configfile.cpp#s/if \(auto bytes = codePage\.encode\(text\)\)/if (auto bytes = std::optional<QByteArray>())/#Config.dat that fits the code page is written in it, as before
close-to-install#packaging/windows/installer.nsi.in#s/  Call CloseRunning\n//#an install over a running program closes it first and replaces it
close-to-uninstall#packaging/windows/installer.nsi.in#s/  Call un\.CloseRunning\n//#an uninstall closes the running program first and removes it
install-folder-kept#packaging/windows/installer.nsi.in#s/!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY/!define NO_INSTDIR_REGISTRY_KEY/#a reinstall goes into the folder of the install it finds
per-user#packaging/windows/installer.nsi.in#s/!define MULTIUSER_INSTALLMODE_COMMANDLINE\n//#/CurrentUser installs for the user alone
portable#platform/qt/portable.cpp#s/return own;/return std::nullopt;/#a portable copy started in its own folder exports there by default
relink-objects#packaging/windows/make-relink-zip.sh#s/cp "\$file" "\$work\/\$name\/\$copy"/true/#the relink zip holds every object the program links
start-folder#packaging/windows/installer.nsi.in#s/StrCpy \$OUTDIR "%USERPROFILE%"//#the Start-menu shortcut starts the program in the profile folder
uninstall-run#packaging/windows/installer.nsi.in#s/(CurrentVersion\\Run"\n)  Call un\.RemoveAutoStartValues\n/$1/#the uninstaller removes this user's kelvo-rozevid-* Run values
uninstall-approved#packaging/windows/installer.nsi.in#s/(StartupApproved\\Run"\n)  Call un\.RemoveAutoStartValues\n/$1/#the uninstaller removes the Run values' twins under StartupApproved\Run
uninstall-others#packaging/windows/installer.nsi.in#s/\$R3 S== "kelvo-rozevid-"/1 = 1/#the uninstaller leaves other programs' Run values alone
uninstall-logins#packaging/windows/installer.nsi.in#s/    Call un\.RemoveLogins\n//#the uninstaller removes the Kelvo-Rozevid:* credentials unless answered no
logins-kept-on-no#packaging/windows/installer.nsi.in#s/\$\{NSD_GetState\} \$LoginsBox \$RemoveLogins/Nop/#answered no, the uninstaller keeps the credentials
kept-secret#service/keptlogin.cpp#s/lines\.size\(\) != 3/lines.size() < 3/#a kept secret is a login only when it is exactly three lines
refused-kept#service/keptlogin.cpp#s/return Next::AskUser;/return Next::TryAgain;/#a refused kept login is not sent again
exec-quoting#platform/qt/autostart.cpp#s/c == QLatin1Char\('\$'\) \|\|\n\s*//#a "$" in the program's path takes a backslash in Exec=
entry-path#platform/qt/autostart.cpp#s/QStringLiteral\("\\nPath="\) \+ escapedValue\(startFolder\)/QStringLiteral("\\nPath=") + startFolder/#Path= holds the start folder escaped as a desktop entry's string
run-quoting#platform/qt/autostart.cpp#s/QString\(backslashes \* 2, QLatin1Char\('\\\\'\)\) \+ QLatin1Char\('"'\)/QString(backslashes, QLatin1Char('\\\\')) + QLatin1Char('"')/#the Run value doubles the backslashes before the start folder's closing quote
entry-per-folder#platform/qt/autostart.cpp#s/hash\(startFolder\.toUtf8\(\)/hash(QByteArray()/#each start folder has an autostart entry of its own
autostart-folder#platform/qt/autostart.cpp#s/const QString folder = arguments\.at\(\+\+i\);/const QString folder; ++i;/#--autostart takes the start folder after it
folder-url#platform/qt/autostart.cpp#s/    if \(!needsUrl\(folder\)\)\n        return folder;/    return folder;/#an XDG entry passes a start folder that a starter would not carry as a file URL
check-no-store#service/unattended.cpp#s/if \(!kept\) \{/if (false) {/#with no password store the box stays unchecked, says so, and writes no entry
uncheck-removes#service/unattended.cpp#s/self->m_platform\.autostart->disable\(self->m_startFolder\);//#unchecking removes the autostart entry
forget-silent#service/unattended.cpp#s/            if \(status != PasswordStore::Status::Done\) \{/            if (false) {/#a kept login that cannot be removed keeps its entry and its box, and says so
auto-start-focus#app/mainform.cpp#s/    showAutoStart\(!checked\);\n/    showAutoStart(!checked);\n    CheckAutoStart->setEnabled(false);\n    CheckAutoStart->setEnabled(true);\n/#the box keeps the keyboard's focus while the store answers
auto-start-inside#app/controls.h#s/1440, 2505,/1440, 2520,/#every control lies wholly inside the window
moved-program#service/unattended.cpp#s/(State::Enabled\)\n)\s*m_platform\.autostart->enable[^;]*;/$1;/#an entry naming a program that has moved is rewritten at the start
retry-10s#service/session.cpp#s/keptlogin::kRetrySeconds\)/keptlogin::kRetrySeconds + 1)/#an unreachable service is asked again after 10 seconds
desktop-hides#app/mainform.cpp#s/if \(kept && m_startedByDesktop\) \{/if (false) {/#started by the desktop it hides to the notification area once logged in
tray-wait#app/tray.cpp#s/(kTrayWaitSeconds\)\) \{\n\s*)showMinimized\(\);/${1}showNormal();/#with no notification area after 30 seconds the window is minimised
first-signals#app/tray.cpp#s/if \(m_session\.positionsKey\(\)\.isEmpty\(\)\)\n\s*return;//#it hides once the first signals, which bring the window back, are in
unreadable-line#app/mainform.cpp#s/showLoginError\(keptLoginUnreadableText\(\)\);//#a kept login that cannot be read leaves a line on the login panel
manual-replaces#service/session.cpp#s/if \(!kept && m_autostart != Autostart::State::Absent\) \{/if (false) {/#a login by hand replaces the kept login
auto-start-tab#app/controls.h#s/("Auto Start", )11\}/${1}13}/#"Auto Start" comes after "Export Data" in the tab order
auto-start-name#app/controls.h#s/"Auto Start", 11\}/"AutoStart", 11}/#the box's accessible name is "Auto Start"
xdg-delete#platform/linux/autostart.cpp#s/return QFile::remove\(file\) \|\| !QFile::exists\(file\);/return true;/#unchecking deletes the XDG autostart entry
run-value-removed#platform/windows/autostart.cpp#s/RegDeleteKeyValueW\(HKEY_CURRENT_USER, kRun, name\.c_str\(\)\)/ERROR_SUCCESS/#unchecking removes the Run value
deadline#platform/qt/curltransfer.cpp#s/curl_easy_setopt\(m_easy, CURLOPT_TIMEOUT_MS, long\(qMax\(0, m_limits\.deadlineMs\)\)\);/;/#every transfer ends by its deadline, however its bytes trickle
header-cap#platform/qt/curltransfer.cpp#s/if \(m_limits\.maxHeaderBytes > 0 && m_headerBytes/if (false \&\& m_headerBytes/#a reply's headers are capped
downgrade#platform/qt/curltransfer.cpp#s/transfer->m_downgrade = transfer->m_secure && !secure;/transfer->m_downgrade = false;/#a redirect never goes from https to http
redirect-count#platform/qt/curltransfer.cpp#s/CURLOPT_MAXREDIRS, long\(kMaxRedirects\)/CURLOPT_MAXREDIRS, -1L/#redirects are followed at most five times
redirect-scheme#platform/qt/curltransfer.cpp#s/"http,https"/"all"/g#only http and https are spoken, redirects included
proxy#platform/qt/curltransfer.cpp#s/(        if \(const std::optional<QByteArray> proxy)/        curl_easy_setopt(m_easy, CURLOPT_PROXY, "");\n$1/#the environment's proxy is followed
verify#platform/qt/curltransfer.cpp#s/(        curl_easy_setopt\(m_easy, CURLOPT_SSL_OPTIONS)/        curl_easy_setopt(m_easy, CURLOPT_SSL_VERIFYPEER, 0L);\n$1/#certificates are verified against the system's store
proxy-bypass#platform/qt/systemproxy.cpp#s/if \(host\.isEmpty\(\) \|\| bypassed\(bypass, host\)\)/if (host.isEmpty())/#hosts on the bypass list of Windows' proxy setting are reached directly
user-agent#platform/qt/curltransfer.cpp#s/curl_easy_setopt\(m_easy, CURLOPT_USERAGENT,/(void)(/#every request carries a User-Agent
why#service/session.cpp#s/m_lastFailure = reply\.failed\(\) \? reply\.error/m_lastFailure = reply.failed() ? QString()/#a failed check says why
header-break#platform/qt/curltransfer.cpp#s/if \(\(name \+ value\)\.contains\('\\r'\) \|\|/if (false \&\&/#a request whose header holds a line break is never sent
time-reply-tail#service/protocol.cpp#s/if \(reply\.at\(i\) != QLatin1Char\('\\r'\) && reply\.at\(i\) != QLatin1Char\('\\n'\)\)/if (false)/#a time reply holds nothing after the time but line ends
config-size#config/configfile.cpp#s/return bytes\.size\(\) > kMaxBytes \? QByteArray\(\) : bytes;/return bytes;/#Config.dat over 64 KiB is a damaged file
foreign-link#platform/linux/filesave.cpp#s/if \(linkStatus\.st_uid != ::geteuid\(\)\)/if (false)/#another user's link is never written through
foreign-read#platform/linux/filesave.cpp#s/link\.own = status\.st_uid == ::geteuid\(\);/link.own = true;/#another user's link at Config.dat is never read
link-race#platform/linux/filesave.cpp#s/    return writeAt\(QFile::encodeName\(path\), bytes, atLink, 0\);/    const QByteArray p = QFile::encodeName(path); struct stat s {}; if (atLink == AtLink::FollowOwn \&\& ::lstat(p.constData(), \&s) == 0 \&\& S_ISLNK(s.st_mode) \&\& s.st_uid != ::geteuid()) return QString(); const int fd = ::open(p.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666); const bool ok = fd >= 0 \&\& writeAll(fd, bytes); ::close(fd); return ok ? std::nullopt : std::optional(QString());/#the link check and the write are one step: no link put there meanwhile is followed
repair-link#config/configfile.cpp#s/replaceLink \? AtLink::Replace : AtLink::FollowOwn/AtLink::FollowOwn/#a repair of Config.dat never writes through a link to anything but a small settings file
own-id-lock#platform/qt/instanceguard.cpp#s/m_lock->removeStaleLockFile\(\);/;/#a lock naming this very process is stale
private-folder#platform/qt/instanceguard.cpp#s/const QString own = privateFolder\(problem\);/const QString own = QDir::tempPath();/#the lock and the socket live only in a folder of the user's own
caller-cap#platform/qt/localchannel.cpp#s/if \(m_callers > kMaxCallers\)/if (false)/#the listener takes a few callers at a time
toggle-acts#app/mainform.cpp#s/connect\(CheckAutoStart, &QCheckBox::toggled,/connect(CheckAutoStart, \&QCheckBox::clicked,/#a check box does the same whatever changed it: a click, Space, an assistive technology's toggle
own-change-quiet#app/mainform.cpp#s/    const QSignalBlocker programsOwn\(CheckAutoStart\);\n//#the program's own change of a box runs no handler
silence-event#service/session.cpp#s/        emit silenceStarted\(\*since\);/        ;/#five minutes of failed checks are told once, with the last good answer's time
answering-again#service/session.cpp#s/        emit answeringAgain\(\*before, before->secsTo\(now\)\);/        ;/#the end of the silence is told, with how long it lasted
first-no-alarm#service/session.cpp#s/if \(!first && m_alarmEnabled\)/if (m_alarmEnabled)/#the first reply's positions start no alarm
failed-reply#service/session.cpp#s/httpReply\.failed\(\) \? QString\(\) : httpReply\.text\(\)\.text/httpReply.text().text/#a reply that failed is no answer, whatever its body
failed-signals#service/session.cpp#s/httpReply\.failed\(\) \? std::nullopt : cleanSignalReply/cleanSignalReply/#a signal reply that failed is no answer, whatever its body
session-never#app/main.cpp#s/manager\.setRestartHint\(QSessionManager::RestartNever\);/;/#with Auto Start on, a saved session does not start the program a second time
session-again#app/main.cpp#s/            manager\.setRestartHint\(QSessionManager::RestartIfRunning\);\n//#with Auto Start off again, a saved session brings the program back
session-folder#app/main.cpp#s/QStringLiteral\(\"--autostart\"\), QDir::currentPath\(\)\}\);/QStringLiteral(\"--autostart\")});/#a saved session brings the program back in its own start folder
message-answers#app/main.cpp#s/    form\.setBeforeMessage\(listen\);\n//#a second start is answered while a message box waits at start
desktop-quiet#app/main.cpp#s/        if \(start\.byDesktop\)\n            return 0;\n//#a start by the desktop that finds the program running ends quietly
unreachable-box#app/main.cpp#s/box->show\(nullptr, title, text\);\n(\s*)return 1;/return 1;/#a start that cannot reach the running program says so
history-previous#app/historywindow.cpp#s/firstTime, entries\.at\(first\)\.previousPosition, first\)/firstTime, QString(), first)/#a change's previous position fills the strip back to the journal's start
history-known#app/historywindow.cpp#s/add\(entries\.first\(\)\.utc, firstTime/add(from, firstTime/#before the journal's first entry a row's position is unknown
history-signal#app/historywindow.cpp#s/return signal\.isValid\(\) && signal <= entry\.utc \? signal/return false ? signal/#a change is placed at its signal's date and time
history-clip#app/historywindow.cpp#s/std::max\(start, from\)/start/#a position held from before the window starts at the window's start
history-order#app/historywindow.cpp#s/m_entries\.at\(m_entries\.size\(\) - 1 - index\.row\(\)\)/m_entries.at(index.row())/#the history lists the newest first
history-filter#app/historywindow.cpp#s/"\^\(\?:%1\)\?\$"/"^(?:%1)\$"/#a row's filter keeps the events of no row
history-follow#app/historywindow.cpp#s/        model->add\(entry\);\n//#an entry journalled after opening comes in at the top
history-waiting#app/historywindow.cpp#s/    entries \+= journal\.waitingEntries\(\);\n//#entries still waiting to be written are shown
history-keys#app/historywindow.cpp#s/Qt::Key_Right \? 1/Qt::Key_Right ? -1/#Right steps to the next change in time, Left to the one before
history-future#app/historywindow.cpp#s/ && signal <= entry\.utc \? signal/ ? signal/#a signal time after the change was noted places it when it was noted
phone-schedule#alerts/phonealerts.cpp#s/kDelays\[\] = \{30, 120, 600\};/kDelays[] = {30, 120, 300};/#a failed phone alert is tried again after 30 s, 2 min and 10 min
phone-retry-after#alerts/phonealerts.cpp#s/reply\.headers\.value\("Retry-After"\)/reply.headers.value("X-Retry")/#a 429 waits as long as Retry-After says
phone-4xx#alerts/phonealerts.cpp#s/reply\.status < 500\)\n\s*return std::nullopt;/reply.status < 400)\n        return std::nullopt;/#a phone alert refused with a 4xx is given up at once
phone-queue#alerts/phonealerts.h#s/kMaxWaiting = 50;/kMaxWaiting = 60;/#at most 50 phone alerts wait per service
phone-once#alerts/phonealerts.cpp#s/if \(!reply\.failed\(\)\) \{\n\s*channel\.waiting\.pop_front\(\);/if (!reply.failed()) {/#a phone alert a service took is never sent again
phone-chat#alerts/phonealerts.cpp#s/\^-\?\[0-9\]\{1,20\}\$/^.+\$/#a Telegram chat ID is a number
phone-bot-token#alerts/phonealerts.cpp#s/\[A-Za-z0-9_-\]\+\$"\)/.+\$")/#a Telegram bot token cannot leave its place in the path
phone-token-header#alerts/phonealerts.cpp#s/if \(!isHeaderSafe\(targets\.ntfyToken\)\)/if (false)/#an ntfy token with a line break is refused
phone-http-note#alerts/phonealerts.cpp#s/else if \(scheme == QLatin1String\("http"\)\)/else if (false)/#a plain http ntfy address is noted as unencrypted
phone-scheme#alerts/phonealerts.cpp#s/\(scheme != QLatin1String\("http"\) && scheme != QLatin1String\("https"\)\)/false/#an ntfy address must be http or https
phone-priority#alerts/phonealerts.cpp#s/message\.urgent \? "high" : "default"/"default"/#a change rings at ntfy's high priority
phone-chat-number#alerts/phonealerts.cpp#s/targets\.telegramChat\.toLongLong\(\)/targets.telegramChat/#Telegram's chat_id goes as a number
phone-first#service/reporting.cpp#s/if \(first\)\n(\s*)return;/if (false)\n$1return;/#the first reply of a start is told to no phone
phone-silence#service/reporting.cpp#s/(silenceMessage\(since\);\n.*?\n)\s*m_phone\.send\(message\);/$1/s#the service going silent is told to the phone
journal-quote#service/journal.cpp#s/if \(field\.contains\(QLatin1Char\(','\)\) \|\|/if (/#a journal field with a comma is quoted
journal-formula#service/journal.cpp#s/formulaStarts\(\)\.contains\(field\.at\(0\)\) && !isNumber\(field\)/false/#a journal field that begins as a formula is made text
journal-number#service/journal.cpp#s/&& !isNumber\(field\)\)/)/#numbers in the journal are left as they are
journal-kept#service/journal.cpp#s/(qWarning\(\)\.noquote\(\) << "could not write"[^\n]*\n)(\s*)return false;/$1$2m_waiting.clear();\n$2return false;/#journal lines that cannot be written wait in memory
journal-minute#service/journal.cpp#s/m_lastTry\.secsTo\(now\) >= 60/m_lastTry.secsTo(now) >= 600/#waiting journal lines are written within a minute
journal-rotate#service/journal.cpp#s/size \+ lines\.size\(\) > kJournalRotateBytes/size > kJournalRotateBytes/#the journal is moved aside before it passes 10 MB
journal-append#platform/qt/filesave.cpp#s/QIODevice::WriteOnly \| QIODevice::Append/QIODevice::WriteOnly/#the journal is appended to, never rewritten
journal-header#service/journal.cpp#s/const bool fresh = !FileExists\(file\) \|\| QFileInfo\(file\)\.size\(\) == 0;/const bool fresh = true;/#the journal's header line comes once, first
EOF
)

src="$root/build-faults/src"
build="$src/build"
mkdir -p "$src"
# A fresh copy of the sources, next to the build folder kept from last time.
find "$src" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
tar -C "$root" --exclude='./build*' --exclude=./.git --exclude=./run -cf - . | tar -C "$src" -xmf -
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
faults_port=${KELVO_FAULTS_PORT:-18471}
qt_windows=${KELVO_QT_WINDOWS:-$root/../shared/qt-windows/qt6-mingw-6.4.2.tar.zst}
# The copy's Windows build, for the port after the Linux end-to-end tests',
# and its tests.
windows_tests() {
  if KELVO_QT_WINDOWS="$qt_windows" KELVO_WINDOWS_BUILD="$build/windows" \
    KELVO_QTKEYCHAIN_SOURCE="$root/../shared/qtkeychain/qtkeychain-0.13.2.tar.gz" "$src/scripts/build-windows.sh" \
    -DKELVO_SERVICE_URL="http://127.0.0.1:$((faults_port + 1))" \
    -DKELVO_TELEGRAM_API_URL="http://127.0.0.1:$((faults_port + 3))" \
    -DKELVO_DEMO_SERVICE="$build/demo/kelvo-demo-service" >>"$log" 2>&1; then
    ctest --test-dir "$build/windows" --output-on-failure ${tests:+-R "$tests"} 2>&1 || true
  else
    printf 'The following tests FAILED:\n\t  0 - windows-build (Failed)\n'
  fi
}
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DKELVO_BUILD_BENCH=OFF -DKELVO_E2E_PORT="$faults_port" >"$root/build-faults/configure.log"
cmake --build "$build" -j"$(nproc)" >"$root/build-faults/build.log"

log="$root/build-faults/faults.log"
: >"$log"
caught=0
missed=0
while IFS='#' read -r id file expr rule label; do
  [ -n "$id" ] || continue
  if [ -n "$only" ] && [[ ",$only," != *",$id,"* ]]; then continue; fi
  cp "$root/$file" "$src/$file"
  perl -0pi -e "$expr" "$src/$file"
  if cmp -s "$root/$file" "$src/$file"; then
    result="ANCHOR MISSING"
  elif ! cmake --build "$build" -j"$(nproc)" >>"$log" 2>&1; then
    result="DOES NOT BUILD"
  else
    # The quick tests first; the end-to-end tests only for a fault that no
    # quick test catches; the Windows tests last, and alone for what only
    # Windows builds.
    result=""
    stages=(quick e2e windows)
    case $file in platform/windows/* | packaging/windows/*) stages=(windows) ;; esac
    [ -z "$label" ] || stages=("$label")
    for stage in "${stages[@]}"; do
      args=(--test-dir "$build" -j"$(nproc)")
      case $stage in
      quick) args+=(-LE "e2e|$exclude") ;;
      e2e) args+=(-L e2e -LE "$exclude") ;;
      *) args+=(-L "$stage" -LE fresh-install) ;;
      esac
      [ -z "$tests" ] || args+=(-R "$tests")
      if [ $stage = windows ]; then
        [ -e "$qt_windows" ] || break
        out=$(windows_tests)
      else
        out=$(ctest "${args[@]}" 2>&1 || true)
      fi
      echo "$out" >>"$log"
      result=$(sed -n '/The following tests FAILED:/,$p' <<<"$out" |
        sed -nE 's/^[[:space:]]*[0-9]+ - ([^ ]+).*/\1/p' | sort -u | paste -sd' ' -)
      [ -z "$result" ] || break
    done
    result=${result:-NOT CAUGHT}
  fi
  case $result in
  "NOT CAUGHT" | "ANCHOR MISSING" | "DOES NOT BUILD") missed=$((missed + 1)) ;;
  *) caught=$((caught + 1)) ;;
  esac
  printf '%-15s %-62s %s\n' "$id" "$rule" "$result"
  cp "$root/$file" "$src/$file"
done <<<"$faults"
cmake --build "$build" -j"$(nproc)" >>"$log" 2>&1 || true
echo "$caught caught, $missed not caught (details: $log)"
[ "$missed" -eq 0 ]

#pragma once

// The window's controls, one row each: what the window makes, where, how an
// assistive technology names it, where Tab goes, and which panel shows it.
// The window, its accessible names and its panels read this table; so do
// the end-to-end tests (tests/e2e/controls.py), a row a line.

namespace kelvo::controls {

enum class Kind { Label, Text, Display, Password, Button, CheckBox, ComboBox, List, Grid };

enum class Panel {
    Login,     // shown at start, hidden for good by the login
    LoginNote, // on the login panel when it has something to say
    Main,      // shown by the login (ShowMainPanel)
    MainNote,  // on the main panel when it has something to say
};

struct Control {
    const char* name; // the object name
    Kind kind;
    Panel panel;
    int left, top, width, height; // twips
    const char* caption;          // a label's or a button's text
    // A label: the control it names (its buddy). Any other: its accessible
    // name, where its caption does not serve.
    const char* names;
    int tab; // its place in the tab order; 0 for none
};

// clang-format off
inline constexpr Control kControls[] = {
    {"BoxUser",        Kind::Text,     Panel::Login,     6480,  840, 1335,  285, "", "Username", 13},
    {"BoxPassword",    Kind::Password, Panel::Login,     6480, 1200, 1335,  285, "", "Password", 14},
    {"ComboSystem",    Kind::ComboBox, Panel::Login,     6480, 1560, 1335,  315, "", "System", 15},
    {"Login",          Kind::Button,   Panel::Login,     6480, 2040, 1335,  255, "Login", "", 16},
    {"LabUser",        Kind::Label,    Panel::Login,     5520,  840,  975,  255, "Username", "BoxUser", 0},
    {"LabPass",        Kind::Label,    Panel::Login,     5520, 1200,  975,  255, "Password", "BoxPassword", 0},
    {"LabSystem",      Kind::Label,    Panel::Login,     5520, 1560,  975,  255, "System", "ComboSystem", 0},
    {"LabError",       Kind::Label,    Panel::LoginNote, 2160, 2355, 6735,  405, "", "", 0}, // two lines need 27 pixels
    {"FGrid",          Kind::Grid,     Panel::Main,      3600, 1080,  255, 1215, "", "Signals", 17},
    {"LabLast",        Kind::Label,    Panel::Main,      3720,  600, 1215,  255, "Last Update", "BoxLast", 0},
    {"BoxLast",        Kind::Display,  Panel::Main,      4920,  600,  735,  285, "", "Last Update", 0},
    {"LabNext",        Kind::Label,    Panel::Main,      5760,  600, 1215,  255, "Next Check", "BoxNext", 0},
    {"BoxNext",        Kind::Display,  Panel::Main,      6960,  600,  735,  285, "", "Next Check", 0},
    {"LabTime",        Kind::Label,    Panel::Main,      7800,  600,  975,  255, "", "", 0},
    {"LabGMT",         Kind::Label,    Panel::Main,      2040,  600,  975,  255, "TimeZone", "ListBoxGMT", 0},
    {"ListBoxGMT",     Kind::List,     Panel::Main,      3000,  600,  615,  255, "", "TimeZone", 7},
    {"ButBrowse",      Kind::Button,   Panel::Main,      2640,  120,  975,  255, "Browse", "", 4},
    {"BoxPath",        Kind::Text,     Panel::Main,      3720,  120, 3975,  285, "", "Export folder", 5},
    {"ButSavePath",    Kind::Button,   Panel::Main,      7800,  120, 1095,  255, "Apply/Save", "", 6},
    {"LabAlerts",      Kind::Label,    Panel::Main,       120, 1800, 1215,  960, "Check Sound Signal Alarm Export Data Auto Start", "", 0},
    {"CheckSound",     Kind::CheckBox, Panel::Main,      1440, 1800,  255,  255, "", "Check Sound", 8},
    {"CheckAlarm",     Kind::CheckBox, Panel::Main,      1440, 2040,  255,  255, "", "Signal Alarm", 9},
    {"CheckText",      Kind::CheckBox, Panel::Main,      1440, 2280,  255,  255, "", "Export Data", 10},
    {"CheckAutoStart", Kind::CheckBox, Panel::Main,      1440, 2505,  255,  255, "", "Auto Start", 11}, // its border wholly inside the window
    {"LabExportError", Kind::Label,    Panel::MainNote,  3000, 2400, 2760,  255, "The last export failed", "", 0},
    {"LabNoAnswer",    Kind::Label,    Panel::MainNote,   120, 1080, 3360,  600, "", "", 0}, // left of the grid, free at any number of rows
    {"LabAutoStart",   Kind::Label,    Panel::MainNote,  1740, 2550, 1245,  210, "", "", 0}, // below "Minimize", beside "Auto Start"
    {"ButTestSound",   Kind::Button,   Panel::Main,      1800, 1920, 1095,  255, "Test Alarm", "", 12},
    {"ButMinimize",    Kind::Button,   Panel::Main,      1800, 2280, 1095,  255, "Minimize", "", 1},
    {"ButManUpdate",   Kind::Button,   Panel::Main,      5880, 2400, 1335,  255, "Manual Update", "", 2},
    {"ButExit",        Kind::Button,   Panel::Main,      7560, 2400, 1095,  255, "Exit", "", 3},
    {"ButPhoneAlerts", Kind::Button,   Panel::Main,       120,  120, 1215,  255, "Phone Alerts", "", 18},
    {"ButHistory",     Kind::Button,   Panel::Main,      1440,  120, 1095,  255, "History", "", 19},
    {"LabAlertError",  Kind::Label,    Panel::MainNote,   120,  405, 1800,  195, "Phone alert not sent", "", 0}, // under "Phone Alerts"
};
// clang-format on

} // namespace kelvo::controls

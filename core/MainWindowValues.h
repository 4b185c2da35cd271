// The values the main window shows and edits about the logger, as plain data: the device code
// fills and reads this, the main window renders it and reads it back. Members carry the names
// of the controls they belong to.
#pragma once

#include <QByteArray>
#include <QString>

namespace kv5 {

struct MainWindowValues;
// A text box of the values, named by its member (&MainWindowValues::txtSN); nullptr for none.
using ValueBox = QString MainWindowValues::*;

struct MainWindowValues {
    QString txtSN;   // serial number
    QString txtTime; // log start date and time, display form
    QString txtDesc; // log description, at most 32 characters
    int cboInt = -1; // selected row of the interval list; -1 when none is selected
    QString txtRhHi; // RH / MC alarm limits, %
    QString txtRhLo;
    QString txtTempHi; // temperature alarm limits in the display unit
    QString txtTempLo;
    QString txtEmcHi; // EMC alarm limits, %
    QString txtEmcLo;
    int Check1 = 0;  // hold alarms: 1 checked, 0 cleared
    int chkBeep = 0; // alarms beep: 1 checked, 0 cleared
    // The status block the battery gauge shows (or "COMM ERROR"); empty while none was read.
    QByteArray picBatt;
};

} // namespace kv5

#pragma once
// The values the settings window edits: the addresses, time-out and connections of sites.ini and
// the values of VELOR.ini a user changes, with their labels, checks and how they are written.
// Only the values that changed are written; every other line, field and comment of both files
// stays byte for byte.
#include "common/Net.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <expected>
#include <vector>

namespace velor {

struct State;

enum class SettingKind {
    Address,   ///< a base address of sites.ini (empty: the built-in one)
    List,      ///< a whole address of sites.ini (empty: not used)
    Count,     ///< a whole number between min and max
    Amount,    ///< a number of yen, 0 up to max
    Flag,      ///< 0 or 1 (a check box)
    Choice,    ///< one of `choices` of sites.ini (empty: the built-in one)
};

struct SettingField {
    QString id;          ///< the sites.ini key, or the name of the VELOR.ini value
    QString label;       ///< what the window shows
    QString group;       ///< the heading it is shown under
    SettingKind kind = SettingKind::Count;
    int line = 0;        ///< VELOR.ini line (1-based); 0 for a key of sites.ini
    int field = 0;       ///< the field of that line (0-based)
    double min = 0, max = 0;
    QString testPath;    ///< appended to the address when its connection is tried
    QStringList choices; ///< the values a Choice takes, the built-in one first
    bool inSites() const { return line == 0; }
    bool isAddress() const { return kind == SettingKind::Address || kind == SettingKind::List; }
};

/// Every value of the window, in the order shown.
const std::vector<SettingField> &settingFields();

/// The values as the files in `programDir` hold them now, in settingFields() order (a key that
/// sites.ini does not hold is empty; FetchTimeoutSeconds and MaxConnections then show their
/// defaults). An error when VELOR.ini cannot be read or is too short.
std::expected<QStringList, QString> readSettingValues(const QString &programDir);

struct SettingProblem {
    int index = 0;   ///< into settingFields()
    QString text;
};
/// What is wrong with the values, each named at its field; empty when all can be written.
std::vector<SettingProblem> checkSettingValues(const QStringList &values);

/// One field of a VELOR.ini line to replace.
struct SettingsFieldChange {
    int line = 0;     ///< 1-based
    int field = 0;    ///< 0-based
    QByteArray text;  ///< the new field text (CP932)
};
/// VELOR.ini's bytes with those fields' texts replaced; the blanks around each field, the other
/// fields, the other lines and every line end stay as they were. An error when a line or field
/// is missing.
std::expected<QByteArray, QString> withSettingsFields(const QByteArray &bytes, const std::vector<SettingsFieldChange> &changes);

/// Writes the values that differ from the files (checked first: nothing is written while one is
/// wrong), then sets the program's state as loading the files sets it. Returns the ids of the
/// values changed, or the message of a file that could not be read or written.
std::expected<QStringList, QString> saveSettingValues(State &st, const QStringList &values);

/// The address 接続を確かめる reads for an address value (`code`: the stock whose page is tried).
QString connectionAddress(const SettingField &plan, const QString &value, int code);
/// What 接続を確かめる says of a fetch.
QString connectionText(const std::expected<QByteArray, NetError> &page);

} // namespace velor

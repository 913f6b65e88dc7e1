#pragma once
// The option store: a fixed table of named, typed options bound to one INI
// file ("Settings.ini" beside the program).
//
// Every option keeps the value in force (Value) and the value last read from
// or written to the file (SavedValue), so the options dialog can edit values
// in place and then apply them (run the change handlers of the modified
// options and write the file) or cancel them (values return to the saved
// ones, nothing is written).
//
// File format per kind:
//   okString   written "between double quotes" (keeps leading and trailing
//              blanks); read trimmed, one pair of enclosing quotes (" or ')
//              removed, at most 2047 characters
//   okInteger  decimal; read also as hexadecimal after "0x" or "$"
//   okFloat    up to 15 significant digits, the user's decimal separator
//   okBool     "1" / "0"; read as an integer, any non-zero value is true
//   okDateTime the time of day in the user's time format
// A missing or unreadable entry gives the option's default.
//
// Main thread only; no lock.

#include "platform/textutil.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class TNProfileFile;
class TSCGOptions;

enum TNOptionKind : quint8 { okString = 0, okFloat = 1, okInteger = 2, okDateTime = 3, okBool = 4 };

// Internal misuse of the store (a name no option bears).
class EOptionError : public std::runtime_error {
public:
    explicit EOptionError(const QString& message);
    QString Message() const { return QString::fromStdString(what()); }
};

class TNOption;
using TOnApplyChangesEvent = std::function<void(TNOption*)>;

class TNOption {
public:
    QString SectionName() const { return m_sectionName; }
    // Trimmed; an empty name is refused with a warning box.
    void SetSectionName(const QString& value);
    QString Name() const { return m_name; }
    // Trimmed; an empty name or one another option already bears is refused
    // with a warning box.
    void SetName(const QString& value);
    TNOptionKind Kind() const { return m_kind; }
    void SetKind(TNOptionKind kind) { m_kind = kind; }
    QVariant DefaultValue() const { return m_defaultValue; }
    // An empty value is always taken; otherwise its type must suit Kind
    // (set Kind first), else a warning box and the old default stays.
    void SetDefaultValue(const QVariant& value);

    QVariant Value() const { return m_value; }
    void SetValue(const QVariant& value) { m_value = value; }
    QVariant SavedValue() const { return m_savedValue; }
    void SetOnApplyChanges(TOnApplyChangesEvent handler) { m_onApplyChanges = std::move(handler); }

    // Reads the entry as Kind prescribes (the default when missing or
    // unreadable); Value and SavedValue take the result.
    void Load();
    // Writes Value as Kind prescribes; SavedValue takes Value. A failed
    // write throws EProfileFileError.
    void Save();
    // Value and SavedValue differ (two empty values are the same; empty is
    // never the same as non-empty; text compares case-sensitively).
    bool Modified() const;
    // Runs the change handler when the option is modified.
    void ApplyChanges();
    // Runs the change handler unconditionally (puts a loaded value into effect).
    void ApplyValue();

    // The value converted to the usual reader types.
    bool AsBool() const;
    int AsInteger() const;
    QString AsString() const;
    double AsFloat() const;

    // The default converted to the option's kind.
    QVariant DefaultAsKind() const;

private:
    friend class TSCGOptions;
    TNOption(TSCGOptions* owner, int index);

    TSCGOptions* m_owner;  // not owned; the store owns this option
    QString m_sectionName;
    QString m_name;
    QVariant m_value;
    QVariant m_savedValue;
    QVariant m_defaultValue;
    TNOptionKind m_kind = okString;
    TOnApplyChangesEvent m_onApplyChanges;
};

class TSCGOptions {
public:
    TSCGOptions();
    ~TSCGOptions();
    TSCGOptions(const TSCGOptions&) = delete;
    TSCGOptions& operator=(const TSCGOptions&) = delete;

    QString FileName() const { return m_fileName; }
    // Trimmed; empty is refused with a warning box.
    void SetFileName(const QString& value);
    // ProgramFolder() + FileName.
    QString FilePath() const;

    // A new option named "Option<index>" in "DefaultSection".
    TNOption* Add();
    // A table entry: the properties are set in the order section, name,
    // kind, default, handler.
    TNOption* AddOption(const QString& section, const QString& name, TNOptionKind kind, const QVariant& defaultValue,
                        TOnApplyChangesEvent handler = {});

    // Opens the INI file (ProgramFolder() + FileName) and loads every option.
    void LoadFromFile();
    // Saves every option in table order and flushes the file; a failed write
    // throws EProfileFileError and leaves the options already written.
    void SaveToFile();
    // The option whose name equals the trimmed argument (case-sensitive);
    // throws EOptionError naming the argument as passed when none does.
    TNOption* OptionByName(const QString& name) const;
    // Like OptionByName without the exception: nullptr when there is none.
    TNOption* FindOption(const QString& name) const;
    bool Modified() const;
    // Handlers of the modified options in table order, then SaveToFile.
    void ApplyChanges();
    // Every Value takes its SavedValue; no handler runs, nothing is written.
    void CancelChanges();

    int Count() const { return static_cast<int>(m_options.size()); }
    TNOption* At(int index) const;

    // The INI file the options read and write through (readable by its
    // owner only); opened on first use when LoadFromFile has not run yet.
    TNProfileFile& IniFile();

private:
    void OpenIniFile();

    QString m_fileName;
    std::unique_ptr<TNProfileFile> m_iniFile;
    std::vector<std::unique_ptr<TNOption>> m_options;
};

// The program's option store (the options data module's), or nullptr.
extern TSCGOptions* Options;

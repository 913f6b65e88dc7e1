#pragma once
// The four registries of embedded settings editors (carrier, contact,
// address book, server), each keyed by a type number, and the carrier
// length look-up that the recipient model uses.
//
// The registries are filled once at start-up (RegisterEmbeddedEditors in
// editorregistration.h) and only read afterwards; main thread only.

#include "ui/plugins/baseembededitor.h"

#include <QString>
#include <type_traits>
#include <vector>

// A class reference to an editor: its name, how to create one, and for
// carrier editors the class operation GetMaxLengthIndex (null otherwise).
struct TEmbedEditorClass {
    QString ClassName;
    // The editor is owned by Owner when given, else by the caller.
    TFormBaseEmbedEditor* (*Create)(QWidget* owner) = nullptr;
    int (*GetMaxLengthIndex)() = nullptr;
};

// The one class reference of editor class T.
template <class T>
const TEmbedEditorClass* EmbedEditorClass()
{
    static_assert(std::is_base_of_v<TFormBaseEmbedEditor, T>);
    static const TEmbedEditorClass reference = [] {
        TEmbedEditorClass c;
        c.ClassName = QString::fromLatin1(T::staticMetaObject.className());
        c.Create = [](QWidget* owner) -> TFormBaseEmbedEditor* { return new T(owner); };
        if constexpr (std::is_base_of_v<TFormBaseCarrierEditor, T>)
            c.GetMaxLengthIndex = &T::GetMaxLengthIndex;
        return c;
    }();
    return &reference;
}

struct TEmbedEditorRec {
    quint8 TypeID = 0;
    QString Name;
    const TEmbedEditorClass* EditorClass = nullptr;
};

// Entries in registration order, never sorted.
class TBaseEmbedEditorsList {
public:
    virtual ~TBaseEmbedEditorsList() = default;
    // Appends without checking for duplicates.
    virtual void Add(quint8 typeId, const QString& name, const TEmbedEditorClass* editorClass);
    int GetCount() const { return int(m_items.size()); }
    // Throws EEmbedEditorError "List index out of bounds (%d)".
    void GetItem(int index, TEmbedEditorRec& rec) const;
    // The first entry with that number.
    bool FindByTypeID(quint8 typeId, TEmbedEditorRec& rec) const;
    bool IsRegistered(quint8 typeId) const;
    // Empties the list (tests and shut-down).
    void Clear() { m_items.clear(); }

private:
    std::vector<TEmbedEditorRec> m_items;
};

class TCarrierEditorsList : public TBaseEmbedEditorsList {};
class TContactEditorsList : public TBaseEmbedEditorsList {};
class TDatabaseEditorsList : public TBaseEmbedEditorsList {};
class TServerEditorsList : public TBaseEmbedEditorsList {};

// The program-wide registries.
TCarrierEditorsList& CarrierEditorsList();
TContactEditorsList& ContactEditorsList();
TDatabaseEditorsList& DatabaseEditorsList();
TServerEditorsList& ServerEditorsList();

// Register: a number already registered shows the kind's duplicate warning
// and returns false, leaving the registry unchanged. Look up: the class of
// the first entry with that number, or null.
bool RegisterCarrierEditorForm(quint8 typeId, const QString& name, const TEmbedEditorClass* editorClass);
bool RegisterContactEditorForm(quint8 typeId, const QString& name, const TEmbedEditorClass* editorClass);
bool RegisterDatabaseEditorForm(quint8 typeNo, const QString& name, const TEmbedEditorClass* editorClass);
bool RegisterServerEditorForm(quint8 typeNo, const QString& name, const TEmbedEditorClass* editorClass);
const TEmbedEditorClass* GetCarrierEditorFormClass(quint8 typeId);
const TEmbedEditorClass* GetContactEditorFormClass(quint8 typeId);
const TEmbedEditorClass* GetDatabaseEditorFormClass(quint8 typeNo);
const TEmbedEditorClass* GetServerEditorFormClass(quint8 typeNo);

// "TCP" (1), "COM" (2), "UNKNOWN" for any other number.
QString ServerTypeNoToStr(quint8 typeNo);

// The index of the length item in a carrier settings text of that type, or
// -1 when no editor is registered for the type. Creates no widget.
int CarrierMaxLengthIndex(int carrierTypeNo);
// The carrier's largest message length read from its settings text; 0 means
// no limit: no editor for the type, a text with no item at the index, or an
// item that is not a decimal integer. Creates no widget.
int CarrierMaxLengthFromSettings(int carrierTypeNo, const QString& carrierData);
// The recipient model's form of the look-up (its carrier length hook):
// 2147483647 (no known limit) when no editor is registered for the type,
// else CarrierMaxLengthFromSettings.
int CarrierRecipientMaxLength(int carrierTypeNo, const QString& carrierData);

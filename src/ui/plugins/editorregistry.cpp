#include "ui/plugins/editorregistry.h"

#include "platform/commatext.h"
#include "platform/messagedlg.h"
#include "ui/plugins/embedtext.h"

#include <limits>

void TBaseEmbedEditorsList::Add(quint8 typeId, const QString& name, const TEmbedEditorClass* editorClass)
{
    m_items.push_back(TEmbedEditorRec{typeId, name, editorClass});
}

void TBaseEmbedEditorsList::GetItem(int index, TEmbedEditorRec& rec) const
{
    if (index < 0 || index >= GetCount())
        throw EEmbedEditorError(QStringLiteral("List index out of bounds (%1)").arg(index));
    rec = m_items[size_t(index)];
}

bool TBaseEmbedEditorsList::FindByTypeID(quint8 typeId, TEmbedEditorRec& rec) const
{
    for (const TEmbedEditorRec& item : m_items) {
        if (item.TypeID == typeId) {
            rec = item;
            return true;
        }
    }
    return false;
}

bool TBaseEmbedEditorsList::IsRegistered(quint8 typeId) const
{
    TEmbedEditorRec scratch;
    return FindByTypeID(typeId, scratch);
}

TCarrierEditorsList& CarrierEditorsList()
{
    static TCarrierEditorsList list;
    return list;
}

TContactEditorsList& ContactEditorsList()
{
    static TContactEditorsList list;
    return list;
}

TDatabaseEditorsList& DatabaseEditorsList()
{
    static TDatabaseEditorsList list;
    return list;
}

TServerEditorsList& ServerEditorsList()
{
    static TServerEditorsList list;
    return list;
}

namespace {
// DuplicateText takes the name passed in, the number and the class name of
// the editor already registered under that number.
bool Register(TBaseEmbedEditorsList& list, const QString& duplicateText, quint8 typeId, const QString& name,
              const TEmbedEditorClass* editorClass)
{
    TEmbedEditorRec registered;
    if (list.FindByTypeID(typeId, registered)) {
        const QString registeredName = registered.EditorClass ? registered.EditorClass->ClassName : QString();
        MessageDlg(duplicateText.arg(name).arg(int(typeId)).arg(registeredName), TMsgDlgType::mtWarning, mbOK);
        return false;
    }
    list.Add(typeId, name, editorClass);
    return true;
}

const TEmbedEditorClass* Find(const TBaseEmbedEditorsList& list, quint8 typeId)
{
    TEmbedEditorRec rec;
    return list.FindByTypeID(typeId, rec) ? rec.EditorClass : nullptr;
}
}  // namespace

bool RegisterCarrierEditorForm(quint8 typeId, const QString& name, const TEmbedEditorClass* editorClass)
{
    return Register(CarrierEditorsList(),
                    QStringLiteral("CarrierType \"%1\" (with TypeID = %2) is already registered by the following "
                                   "Editor Form: \"%3\""),
                    typeId, name, editorClass);
}

bool RegisterContactEditorForm(quint8 typeId, const QString& name, const TEmbedEditorClass* editorClass)
{
    return Register(ContactEditorsList(),
                    QStringLiteral("Embedded Contact Editor Form for CarrierType \"%1\" (with TypeID = %2) is already "
                                   "registered by the following Editor Form: \"%3\""),
                    typeId, name, editorClass);
}

bool RegisterDatabaseEditorForm(quint8 typeNo, const QString& name, const TEmbedEditorClass* editorClass)
{
    return Register(DatabaseEditorsList(),
                    QStringLiteral("Embedded Database Editor Form for Type \"%1\" (with TypeNo = %2) is already "
                                   "registered by the following Editor Form: \"%3\""),
                    typeNo, name, editorClass);
}

bool RegisterServerEditorForm(quint8 typeNo, const QString& name, const TEmbedEditorClass* editorClass)
{
    return Register(ServerEditorsList(),
                    QStringLiteral("Embedded Server Editor Form for Type \"%1\" (with TypeNo = %2) is already "
                                   "registered by the following Editor Form: \"%3\""),
                    typeNo, name, editorClass);
}

const TEmbedEditorClass* GetCarrierEditorFormClass(quint8 typeId)
{
    return Find(CarrierEditorsList(), typeId);
}
const TEmbedEditorClass* GetContactEditorFormClass(quint8 typeId)
{
    return Find(ContactEditorsList(), typeId);
}
const TEmbedEditorClass* GetDatabaseEditorFormClass(quint8 typeNo)
{
    return Find(DatabaseEditorsList(), typeNo);
}
const TEmbedEditorClass* GetServerEditorFormClass(quint8 typeNo)
{
    return Find(ServerEditorsList(), typeNo);
}

QString ServerTypeNoToStr(quint8 typeNo)
{
    switch (typeNo) {
        case 1:
            return QStringLiteral("TCP");
        case 2:
            return QStringLiteral("COM");
        default:
            return QStringLiteral("UNKNOWN");
    }
}

int CarrierMaxLengthIndex(int carrierTypeNo)
{
    // A number outside the byte range has no editor (it is not truncated
    // onto another type).
    if (carrierTypeNo < 0 || carrierTypeNo > 255)
        return -1;
    const TEmbedEditorClass* editorClass = GetCarrierEditorFormClass(quint8(carrierTypeNo));
    if (!editorClass || !editorClass->GetMaxLengthIndex)
        return -1;
    return editorClass->GetMaxLengthIndex();
}

int CarrierMaxLengthFromSettings(int carrierTypeNo, const QString& carrierData)
{
    const int index = CarrierMaxLengthIndex(carrierTypeNo);
    if (index < 0)
        return 0;
    const QStringList items = CommaTextToList(carrierData);
    // A text shorter than its type's layout has no length item: no limit,
    // rather than a read past the end.
    if (index >= items.size())
        return 0;
    int length = 0;
    return TryDecimalToInt(items[index], &length) ? length : 0;
}

int CarrierRecipientMaxLength(int carrierTypeNo, const QString& carrierData)
{
    if (CarrierMaxLengthIndex(carrierTypeNo) < 0)
        return std::numeric_limits<int>::max();
    return CarrierMaxLengthFromSettings(carrierTypeNo, carrierData);
}

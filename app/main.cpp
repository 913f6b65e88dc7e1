// The program's entry point: everything else is the start-up sequence.
#include "data/recipients.h"
#include "ui/admin/adminwindows.h"
#include "ui/main/startup.h"
#include "ui/plugins/editorregistration.h"
#include "ui/plugins/editorregistry.h"

int main(int argc, char** argv)
{
    // The settings editors register as the program starts, before any window;
    // the recipient model then reads its carriers' length limits through the
    // carrier editors, and the administration windows join the launchers.
    return RunApplication(argc, argv, [] {
        RegisterEmbeddedEditors();
        SetCarrierMaxLengthHook(&CarrierRecipientMaxLength);
        RegisterAdminWindows();
    });
}

#include "functions/interfaces.h"

#include "globals/mdlGVars.h"
#include "main_window/frmMain.h"

void FillInterfaceList() {
    frmMain& form = MainForm();
    for (const std::string& name : InterfaceNames)
        form.cmbINTERFACE.AddItem(name);
}

#include "functions/forms.h"

void ShowFormModal(tk::Form& form) {
    try {
        form.ShowModal();
    } catch (...) {
        // The caller goes on as if the window had been shown and closed.
    }
}

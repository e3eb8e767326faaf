#pragma once
#include "toolkit/form.h"

// Shows a form modally and waits until it closes. A form that cannot be shown (already on
// screen, or failing to load) is passed over silently.
void ShowFormModal(tk::Form& form);

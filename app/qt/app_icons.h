#pragma once
// Icon resources (IDR_MAINFRAME, IDI_DISCONNECTED, IDI_CONNECTED) from the
// Qt resource system, with every size drawn for them.

#include <QIcon>

// Icon `id` with all its sizes; a null icon when there is none.
QIcon LoadResIcon(int id);

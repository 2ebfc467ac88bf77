#pragma once

#include "base/ui/list_editor_window.h"

struct ClientState;

// "Additional Counties": whole states or single counties that count as the
// user's own area at the COUNTY level.
class frmAddCounties final : public ListEditorWindow
{
    Q_OBJECT
public:
    frmAddCounties(ClientState &state, Dialogs &dialogs, QWidget *parent = nullptr);

    // What the menu command does once the window is done: the entries
    // replace the list and AddCounties.txt is rewritten.
    bool StoreEntries();

private:
    ClientState &m_state;
};

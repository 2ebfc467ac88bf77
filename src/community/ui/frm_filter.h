#pragma once

#include "base/ui/list_editor_window.h"

struct ClientState;

// "Filter Reports and Messages": the blocked user names. Changes take
// effect only through Done, which saves the list.
class frmFilter final : public ListEditorWindow
{
    Q_OBJECT
public:
    frmFilter(ClientState &state, Dialogs &dialogs, QWidget *parent = nullptr);

    void Command1_Click() override; // Done
    // Rebuilds the filter list from List1 and writes FilterList.txt.
    bool SaveFilterList();

private:
    ClientState &m_state;
};

#include "community/ui/frm_filter.h"

#include "base/client_state.h"
#include "base/content_filters.h"
#include "base/list_files.h"

frmFilter::frmFilter(ClientState &state, Dialogs &dialogs, QWidget *parent)
    : ListEditorWindow({.objectName = QStringLiteral("frmFilter"),
                        .caption = QStringLiteral("Filter Reports and Messages"),
                        .explanation = QStringLiteral(
                            "Use this form to block reports and messages from a specific user.  "
                            "To block a user, type the user name and press enter.\r\n\r\n"
                            "To remove a user from your filter list so that you can receive their "
                            "reports and messages, double click the user name in the list."),
                        .maxEntries = ContentFilters::MaxFilterEntries,
                        .fullMessage = FilterListFullMessage(),
                        .sorted = true},
                       state.filterList, dialogs, parent),
      m_state(state)
{
}

bool frmFilter::SaveFilterList()
{
    m_state.filterList = entries();
    QString why;
    const bool saved = SaveFilterListFile(m_state, &why);
    tellUnsaved(SaveFailureNotice(m_state, FilterListFileName, saved, why));
    return saved;
}

void frmFilter::Command1_Click()
{
    SaveFilterList();
    accept();
}

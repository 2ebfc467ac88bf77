#include "reports/ui/frm_add_counties.h"

#include "base/client_state.h"
#include "base/content_filters.h"
#include "base/list_files.h"

frmAddCounties::frmAddCounties(ClientState &state, Dialogs &dialogs, QWidget *parent)
    : ListEditorWindow(
          {.objectName = QStringLiteral("frmAddCounties"),
           .caption = QStringLiteral("Additional Counties"),
           .explanation = QStringLiteral(
               "Enter the State abbreviation, a single space and then County such as:\n\nMD HARFORD"),
           .maxEntries = ContentFilters::MaxAdditionalCounties,
           .fullMessage = AdditionalCountiesFullMessage()},
          state.additionalCounties, dialogs, parent),
      m_state(state)
{
}

bool frmAddCounties::StoreEntries()
{
    m_state.additionalCounties = entries().mid(0, ContentFilters::MaxAdditionalCounties);
    QString why;
    const bool saved = SaveAdditionalCountiesFile(m_state, &why);
    tellUnsaved(SaveFailureNotice(m_state, AddCountiesFileName, saved, why));
    return saved;
}

#include "base/settings.h"

#include "base/client_state.h"
#include "base/file_lines.h"
#include "base/wire_codec.h"
#include "platform/dialogs.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

enum class Kind {
    Text,
    Byte,
    Long,
    Boolean,
    // Written as a byte, read back as a floating-point number that counts as
    // set only when it equals exactly 1.
    OnlyOneCounts,
};

struct Field
{
    Kind kind;
    QString SettingsRecord::*text = nullptr;
    int SettingsRecord::*number = nullptr;
    bool SettingsRecord::*flag = nullptr;
};

constexpr Field text(QString SettingsRecord::*m)
{
    return {Kind::Text, m, nullptr, nullptr};
}
constexpr Field byte(int SettingsRecord::*m)
{
    return {Kind::Byte, nullptr, m, nullptr};
}
constexpr Field boolean(bool SettingsRecord::*m)
{
    return {Kind::Boolean, nullptr, nullptr, m};
}

using R = SettingsRecord;

// File order. Always all 36 in this order: the file's layout, read by every version of the program.
const std::array<Field, 36> kFields = {
    text(&R::FirstName),
    text(&R::MiddleInitial),
    text(&R::LastName),
    text(&R::Address),
    text(&R::City),
    text(&R::UserCounty),
    text(&R::UserState),
    text(&R::UserZip),
    text(&R::Email),
    text(&R::UserLocation),
    text(&R::UserName),
    text(&R::Password),
    text(&R::SoundLevel),
    text(&R::DisplayLevel),
    text(&R::RestoreLevel),
    text(&R::FrontLevel),
    Field{Kind::OnlyOneCounts, nullptr, &R::RecordObservations, nullptr},
    Field{Kind::Long, nullptr, &R::FontSize, nullptr},
    text(&R::FontName),
    boolean(&R::FontBold),
    boolean(&R::FontItalic),
    byte(&R::RememberPassword),
    byte(&R::HidePassword),
    byte(&R::TimeMode),
    byte(&R::Ineligible),
    byte(&R::AutoLogIn),
    byte(&R::StartInTray),
    byte(&R::HideRoutine),
    byte(&R::RoutineSound),
    byte(&R::RoutineCelsius),
    byte(&R::RoutineKmh),
    byte(&R::WarnLinkEnabled),
    byte(&R::LaunchWarnProgram),
    text(&R::WarnProgramPath),
    byte(&R::StationAutomation),
    text(&R::StationDataPath),
};

// Fields 1 to 17 are always present; older versions of the file end after
// one of these groups (1-based first field of each group).
constexpr std::array<int, 13> kGroupStarts = {18, 22, 24, 25, 26, 28, 29, 30, 32, 33, 34, 35, 36};

class LineReader final
{
public:
    explicit LineReader(QByteArrayView bytes) : m_lines(FileLines::split(bytes)) {}

    std::optional<QByteArrayView> next()
    {
        if (m_pos >= m_lines.size())
            return std::nullopt;
        return m_lines[m_pos++];
    }

    // Trailing blank lines do not count as more content.
    bool atEnd() const
    {
        for (qsizetype i = m_pos; i < m_lines.size(); ++i)
            if (!FileLines::trimmed(m_lines[i]).isEmpty())
                return false;
        return true;
    }

private:
    QList<QByteArrayView> m_lines;
    qsizetype m_pos = 0;
};

// A quoted text runs to its closing quote (commas included); what follows
// on the line is ignored. An unquoted text is the trimmed line.
QString readText(QByteArrayView line)
{
    line = FileLines::trimmed(line);
    if (!line.startsWith('"'))
        return WireCodec::decode(line);
    line = line.sliced(1);
    const qsizetype close = line.indexOf('"');
    return WireCodec::decode(close < 0 ? line : line.first(close));
}

std::optional<int> wholeNumber(QByteArrayView line, double lowest, double highest)
{
    const auto v = FileLines::parseNumber(line);
    if (!v)
        return std::nullopt;
    const double r = std::nearbyint(*v); // round half to even, as the old reader did
    if (r < lowest || r > highest)
        return std::nullopt;
    return int(r);
}

bool readField(const Field &f, QByteArrayView line, SettingsRecord &rec)
{
    switch (f.kind) {
    case Kind::Text:
        rec.*f.text = readText(line);
        return true;
    case Kind::Byte:
        if (auto v = wholeNumber(line, 0, 255)) {
            rec.*f.number = *v;
            return true;
        }
        return false;
    case Kind::Long:
        if (auto v = wholeNumber(line, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())) {
            rec.*f.number = *v;
            return true;
        }
        return false;
    case Kind::OnlyOneCounts:
        if (auto v = FileLines::parseNumber(line)) {
            rec.*f.number = *v == 1.0 ? 1 : 0;
            return true;
        }
        return false;
    case Kind::Boolean: {
        const QByteArray t = FileLines::trimmed(line).toByteArray().toUpper();
        if (t == "#TRUE#" || t == "#FALSE#") {
            rec.*f.flag = t == "#TRUE#";
            return true;
        }
        if (auto v = FileLines::parseNumber(line)) {
            rec.*f.flag = *v != 0;
            return true;
        }
        return false;
    }
    }
    return false;
}

// A double quote would end the text early and a line break would shift
// every later field, so neither may reach the file.
QByteArray quoted(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('"'), QLatin1Char('\''));
    v.replace(QLatin1Char('\r'), QLatin1Char(' '));
    v.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return '"' + WireCodec::encode(v) + '"';
}

} // namespace

SettingsReadOutcome ReadSettings(QByteArrayView bytes, SettingsRecord &record)
{
    LineReader in(bytes);
    SettingsReadOutcome out;
    auto readUpTo = [&](int lastField) {
        while (out.fieldsRead < lastField) {
            const auto line = in.next();
            if (!line || !readField(kFields[out.fieldsRead], *line, record)) {
                out.error = true;
                return false;
            }
            ++out.fieldsRead;
        }
        return true;
    };
    if (!readUpTo(17))
        return out;
    for (size_t g = 0; g < kGroupStarts.size(); ++g) {
        if (in.atEnd())
            break;
        const int last = g + 1 < kGroupStarts.size() ? kGroupStarts[g + 1] - 1 : int(kFields.size());
        if (!readUpTo(last))
            break;
    }
    // A size no list can show would make the reports unreadable.
    record.FontSize = std::clamp(record.FontSize, MinFontSize, MaxFontSize);
    return out;
}

// The Basic "Write" layout (quoted texts, #TRUE#, CR LF) on every platform, so any install reads the file.
QByteArray WriteSettings(const SettingsRecord &record)
{
    QByteArray out;
    for (const Field &f : kFields) {
        switch (f.kind) {
        case Kind::Text:
            out += quoted(record.*f.text);
            break;
        case Kind::Byte:
        case Kind::OnlyOneCounts:
            out += QByteArray::number(std::clamp(record.*f.number, 0, 255));
            break;
        case Kind::Long:
            out += QByteArray::number(record.*f.number);
            break;
        case Kind::Boolean:
            out += record.*f.flag ? "#TRUE#" : "#FALSE#";
            break;
        }
        out += "\r\n";
    }
    return out;
}

LoadSettingsResult LoadSettings(ClientState &state, Dialogs &dialogs,
                                const std::function<void()> &showTermsModally)
{
    const QString path = state.filePath(SettingsFileName);
    if (!QFile::exists(path)) {
        if (showTermsModally)
            showTermsModally();
        dialogs.messageBox(
            QStringLiteral("Thanks for trying the Nimbrel program!  If you are a new user, please "
                           "fill out the form that appears and then click the Create Account "
                           "button at the bottom right."),
            QStringLiteral("Welcome to Nimbrel!"));
        return LoadSettingsResult::FirstRun;
    }
    if (state.settings.UserName.isEmpty()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            // The profile may well be in there: the user must know, and the
            // file stays as it is until he saves a new one.
            state.settingsUnreadable = true;
            dialogs.messageBox(
                QStringLiteral("Your settings could not be read from %1: %2\n\nThe file is left "
                               "as it is until you save your profile with Log In.")
                    .arg(path, file.errorString()),
                QStringLiteral("Settings could not be read"), Dialogs::OkOnly, Dialogs::Warning);
            return LoadSettingsResult::Failed;
        }
        ReadSettings(file.readAll(), state.settings);
    }
    if (state.settings.Ineligible == 1) {
        const QString text = QStringLiteral("You are no longer eligible to use this service.");
        dialogs.messageBox(text, text);
        return LoadSettingsResult::Ineligible;
    }
    return LoadSettingsResult::Loaded;
}

bool SaveSettings(const ClientState &state, QString *error)
{
    if (state.settingsUnreadable)
        return false;
    return FileLines::writeAtomically(state.filePath(SettingsFileName), WriteSettings(state.settings),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner, error);
}

// What a fleet run settles before it starts, and the small rules it keeps.
#include "fleet/fleetrun.h"

#include "replay/placeholders.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace tessel {

std::size_t FleetCount::of(std::size_t total) const
{
    if (!percent)
        return static_cast<std::size_t>(std::max(0, value));
    // Rounded up: 10% of 5 terminals is one, not none.
    return static_cast<std::size_t>(std::ceil(double(total) * value / 100.0));
}

std::optional<FleetCount> parseFleetCount(std::string_view text, bool zeroAllowed, std::string& error)
{
    FleetCount count;
    std::string_view digits = text;
    if (!digits.empty() && digits.back() == '%') {
        count.percent = true;
        digits.remove_suffix(1);
    }
    const bool allDigits =
        !digits.empty() && digits.size() <= 9 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (allDigits)
        count.value = std::stoi(std::string(digits));
    const int low = zeroAllowed ? 0 : 1;
    if (!allDigits || count.value < low || (count.percent && count.value > 100)) {
        error = "takes a number of terminals from " + std::to_string(low) + " or a share from " +
                std::to_string(low) + "% to 100%, not \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    return count;
}

const char* verdictWord(TerminalVerdict verdict)
{
    switch (verdict) {
    case TerminalVerdict::Passed:
        return "passed";
    case TerminalVerdict::Failed:
        return "failed";
    case TerminalVerdict::Error:
        return "error";
    case TerminalVerdict::Skipped:
        return "skipped";
    }
    return "";
}

std::size_t TerminalReport::count(Verdict verdict) const
{
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [verdict](const LineReport& line) {
            return line.run && line.outcome.verdict == verdict;
        }));
}

QString runFileNameOf(const std::string& sn)
{
    std::string name = sn;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || (c == '.' && i > 0);
        if (!plain)
            name[i] = '_';
    }
    return QString::fromStdString(name) + QStringLiteral(".jsonl");
}

bool isUnreachedCode(int code)
{
    constexpr int unknownTerminal = 1002; // the SDK found no terminal of that serial
    return code == unknownTerminal;
}

std::optional<PlaceholderFault> placeholderFault(const std::vector<RunLine>& lines,
                                                 const std::vector<Target>& targets)
{
    std::set<std::string> captured; // by the lines before the one in hand
    for (const RunLine& line : lines) {
        std::vector<std::string> names;
        std::optional<PlaceholderFault> malformed;
        const auto collect = [&](const std::string& text, const char* what) {
            int column = 0;
            std::string fault;
            const auto found = placeholderNames(text, column, fault);
            if (!found)
                malformed = PlaceholderFault{line.lineNumber, true,
                                             std::string(what) + ", character " + std::to_string(column) +
                                                 ": " + fault};
            else
                names.insert(names.end(), found->begin(), found->end());
            return found.has_value();
        };
        if (!collect(line.request, "the request") || (line.expect && !collect(*line.expect, "\"expect\"")))
            return malformed;
        for (const std::string& name : names) {
            if (captured.count(name))
                continue;
            for (const Target& target : targets)
                if (!target.variable(name))
                    return PlaceholderFault{
                        line.lineNumber, false,
                        "{{" + name + "}} has no value for " + target.sn +
                            (target.name.empty() ? std::string() : " (" + target.name + ")") +
                            ": the targets have no such column and no line before captures it"};
        }
        for (const auto& capture : line.capture)
            captured.insert(capture.first);
    }
    return std::nullopt;
}

void concludeReport(TerminalReport& report, const SecretMask& mask, const std::string& message)
{
    report.message = mask.apply(message);
    if (report.verdict != TerminalVerdict::Failed) {
        const bool errors = std::any_of(report.lines.begin(), report.lines.end(), [](const LineReport& line) {
            return line.outcome.verdict == Verdict::Timeout || line.outcome.verdict == Verdict::Error;
        });
        const bool differs = report.count(Verdict::Different) > 0;
        report.verdict = errors    ? TerminalVerdict::Error
                         : differs ? TerminalVerdict::Failed
                                   : TerminalVerdict::Passed;
    }
    if (!message.empty() && report.verdict == TerminalVerdict::Passed)
        report.verdict = TerminalVerdict::Error;
    for (auto& variable : report.target.variables)
        if (isSecretColumn(variable.first))
            variable.second = "******";
    if (!mask.empty()) {
        for (LineReport& line : report.lines) {
            ReplayOutcome& outcome = line.outcome;
            outcome.sentRequest = mask.apply(std::move(outcome.sentRequest));
            outcome.line.request = mask.apply(std::move(outcome.line.request));
            outcome.message = mask.apply(std::move(outcome.message));
            for (ResultRecord& result : outcome.results)
                result.reply = mask.apply(std::move(result.reply));
            for (ResultRecord& result : outcome.line.results)
                result.reply = mask.apply(std::move(result.reply));
            for (Difference& difference : outcome.differences) {
                difference.recorded = mask.apply(std::move(difference.recorded));
                difference.current = mask.apply(std::move(difference.current));
            }
        }
    }
}

void SecretMask::add(const std::string& secret)
{
    if (secret.empty() || std::find(secrets.begin(), secrets.end(), secret) != secrets.end())
        return;
    secrets.push_back(secret);
    // Inside a JSON text a secret stands escaped.
    const std::string escaped = jsonStringContent(secret);
    if (escaped != secret)
        secrets.push_back(escaped);
    std::stable_sort(secrets.begin(), secrets.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::string SecretMask::apply(std::string text) const
{
    static const std::string stars = "******";
    const auto word = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    for (const std::string& secret : secrets) {
        for (std::size_t at = text.find(secret); at != std::string::npos;) {
            // Only where it stands whole: the password 123456 leaves the
            // serial 123456789 alone.
            const std::size_t end = at + secret.size();
            const bool inside = (at > 0 && word(text[at - 1]) && word(secret.front())) ||
                                (end < text.size() && word(text[end]) && word(secret.back()));
            if (inside) {
                at = text.find(secret, at + 1);
                continue;
            }
            text.replace(at, secret.size(), stars);
            at = text.find(secret, at + stars.size());
        }
    }
    return text;
}

} // namespace tessel

// Carries out the behaviour tables: reads the request as its scope demands,
// checks the members, then reads, writes or answers.
#include "simulator/behaviour.h"

#include "tessel/tesselcoreoperations.h"

#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace tesselsim::detail {
namespace {

constexpr int progressSteps[] = {0, 50, 100};

const char* findDefault(const std::string& key)
{
    for (const SettingDefault& setting : settingDefaults())
        if (key == setting.key)
            return setting.json;
    return nullptr;
}

// A text of the tables; checkBehaviourTables() keeps these well-formed.
Json tableJson(const char* text)
{
    Json value = Json::parse(text ? text : "", nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded() || !value.is_object())
        refuse(RequestNotJson,
               std::string("simulator fault: table text is not a JSON object: ") + quoted(text));
    return value;
}

// Whole-text placeholders of the tables take the terminal's own values.
Json substitute(Json value, const Terminal* terminal)
{
    if (!terminal)
        return value;
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (text == "$sn")
            return terminal->sn;
        if (text == "$name")
            return terminal->name;
        if (text == "$ip")
            return terminal->ip;
        if (text == "$width")
            return terminal->width;
        if (text == "$height")
            return terminal->height;
        return value;
    }
    if (value.is_structured())
        for (auto& element : value)
            element = substitute(std::move(element), terminal);
    return value;
}

struct MemberRule
{
    std::string name;
    bool object = false;
};

std::vector<MemberRule> memberRules(const char* members)
{
    std::vector<MemberRule> rules;
    std::istringstream words(members ? members : "");
    std::string word;
    while (words >> word) {
        MemberRule rule;
        rule.object = word.size() > 2 && word.compare(word.size() - 2, 2, "{}") == 0;
        rule.name = rule.object ? word.substr(0, word.size() - 2) : word;
        rules.push_back(std::move(rule));
    }
    return rules;
}

bool anyMembers(const std::vector<MemberRule>& rules)
{
    return rules.size() == 1 && rules.front().name == "*";
}

void checkMembers(const Json& body, const std::vector<MemberRule>& rules)
{
    if (anyMembers(rules)) {
        for (const auto& item : body.items())
            if (item.key() != "sn")
                return;
        refuse(MissingMember, "request carries nothing to set besides \"sn\"");
    }
    for (const MemberRule& rule : rules) {
        if (rule.object)
            objectMember(body, rule.name.c_str());
        else
            member(body, rule.name.c_str());
    }
}

void checkRanges(const std::vector<const MemberRange*>& ranges, const Json& body)
{
    for (const MemberRange* range : ranges) {
        const MemberRange& check = *range;
        const Json::json_pointer pointer(check.pointer);
        if (!body.contains(pointer))
            refuse(MissingMember, std::string("request lacks member \"") + check.pointer + "\"");
        const Json& value = body.at(pointer);
        if (!value.is_number() || value.get<double>() < check.min || value.get<double>() > check.max) {
            std::ostringstream text;
            text << "member \"" << check.pointer << "\" must be a number from " << check.min << " to "
                 << check.max << ", not " << shown(value);
            refuse(InvalidMember, text.str());
        }
    }
}

// One object member is stored as that object; anything else as an object of
// the named members, or of all members but "sn".
Json storedValue(const Json& body, const std::vector<MemberRule>& rules)
{
    if (rules.size() == 1 && rules.front().object)
        return body.at(rules.front().name);
    Json value = Json::object();
    if (anyMembers(rules)) {
        for (const auto& item : body.items())
            if (item.key() != "sn")
                value[item.key()] = item.value();
        return value;
    }
    for (const MemberRule& rule : rules)
        value[rule.name] = body.at(rule.name);
    return value;
}

Json withSerial(const Terminal* terminal, const Json& result)
{
    Json reply = Json::object();
    if (terminal)
        reply["sn"] = terminal->sn;
    for (const auto& item : result.items())
        reply[item.key()] = item.value();
    return reply;
}

Replies progressReplies(const Terminal* terminal, const Json& result)
{
    Replies replies;
    for (const int percent : progressSteps) {
        Json step = withSerial(
            terminal, Json{{"progress", percent}, {"state", percent < 100 ? "RUNNING" : "FINISHED"}});
        if (percent == 100)
            for (const auto& item : result.items())
                step[item.key()] = item.value();
        replies.push_back(Reply{Success, compact(step)});
    }
    return replies;
}

Replies carryOut(FleetState& state, const OperationEntry& entry, Request& request)
{
    const Behaviour& row = entry.row;
    const Terminal* terminal = request.terminal;
    const auto rules = memberRules(row.members);
    checkMembers(request.body, rules);
    checkRanges(entry.ranges, request.body);
    const Json done = withSerial(terminal, Json{{"result", "success"}});

    switch (row.kind) {
    case Kind::Get: {
        const auto& settings = state.behaviour.settings[terminal->sn];
        const auto it = settings.find(row.key);
        return success(it != settings.end() ? it->second
                                            : substitute(tableJson(findDefault(row.key)), terminal));
    }
    case Kind::Set: {
        Json value = storedValue(request.body, rules);
        if (row.json) {
            const Json extra = tableJson(row.json); // must outlive the loop over its items
            for (const auto& item : extra.items())
                value[item.key()] = item.value();
        }
        state.behaviour.settings[terminal->sn][row.key] = std::move(value);
        return success(done);
    }
    case Kind::Reset:
        state.behaviour.settings[terminal->sn].erase(row.key);
        return success(done);
    case Kind::Reply:
        return success(withSerial(terminal, substitute(tableJson(row.json), terminal)));
    case Kind::Progress:
        return progressReplies(terminal, substitute(tableJson(row.json), terminal));
    case Kind::Custom:
        return row.handler(state, request);
    }
    return success(done);
}

} // namespace

const OperationEntry* findOperation(const std::string& operation)
{
    static const std::map<std::string, OperationEntry> index = [] {
        std::map<std::string, OperationEntry> map;
        for (const Behaviour& row : behaviours())
            map.emplace(row.operation, OperationEntry{row, {}});
        for (const MemberRange& range : memberRanges()) {
            const auto it = map.find(range.operation);
            if (it != map.end())
                it->second.ranges.push_back(&range);
        }
        return map;
    }();
    const auto it = index.find(operation);
    return it == index.end() ? nullptr : &it->second;
}

Replies behave(FleetState& state, const OperationEntry* entry, const std::string& operation,
               const std::vector<std::string>& args)
{
    if (!entry)
        return {Reply{NotFound, "the simulated SDK does not answer " + operation}};
    const Scope scope = entry->row.scope;
    const std::string noText;
    try {
        Request request{args.empty() ? noText : args.front(), Json::object(), nullptr};
        if (scope != Scope::Free)
            request.body = requestObject(request.text, scope == Scope::Host);
        if (scope == Scope::Terminal)
            request.terminal = &loggedInTerminal(state, request.body);
        else if (scope == Scope::Named)
            request.terminal = &namedTerminal(state, request.body);
        return carryOut(state, *entry, request);
    } catch (const Refusal& refusal) {
        return {Reply{refusal.code, refusal.text}};
    } catch (const Json::exception& e) {
        // A member of an unexpected type deep inside a request.
        return {Reply{InvalidMember, std::string("request has a member of the wrong type: ") + e.what()}};
    }
}

std::vector<std::string> checkBehaviourTables()
{
#define TESSEL_OPERATION_NAME(name) #name,
    const std::set<std::string> operations{
        TESSEL_CORE_OPERATIONS(TESSEL_OPERATION_NAME, TESSEL_OPERATION_NAME)};
#undef TESSEL_OPERATION_NAME

    std::vector<std::string> faults;
    auto objectText = [](const char* text) {
        const Json value = Json::parse(text ? text : "", nullptr, false);
        return !value.is_discarded() && value.is_object();
    };
    std::set<std::string> seen;
    for (const Behaviour& row : behaviours()) {
        const std::string name = row.operation;
        if (!operations.count(name))
            faults.push_back(name + ": not an operation of the SDK");
        if (!seen.insert(name).second)
            faults.push_back(name + ": more than one row");
        const bool keyed = row.kind == Kind::Get || row.kind == Kind::Set || row.kind == Kind::Reset;
        if (keyed && (!row.key || !findDefault(row.key)))
            faults.push_back(name + ": setting without a default");
        if ((row.kind == Kind::Reply || row.kind == Kind::Progress || (row.kind == Kind::Set && row.json)) &&
            !objectText(row.json))
            faults.push_back(name + ": result is not a JSON object");
        if ((row.kind == Kind::Custom) != (row.handler != nullptr))
            faults.push_back(name + ": a handler belongs to custom rows only");
        if (row.scope != Scope::Terminal && keyed)
            faults.push_back(name + ": settings belong to terminals");
    }
    for (const std::string& name : operations)
        if (!seen.count(name))
            faults.push_back(name + ": no behaviour");
    for (const SettingDefault& setting : settingDefaults())
        if (!objectText(setting.json))
            faults.push_back(std::string(setting.key) + ": default is not a JSON object");
    for (const MemberRange& check : memberRanges())
        if (!seen.count(check.operation))
            faults.push_back(std::string(check.operation) + ": range check of an operation without a row");
    return faults;
}

} // namespace tesselsim::detail

// The program editor: programs with their pages, scenes and audio, and the
// layout templates. Identifiers count from 1 after every reset.
#include "simulator/handlers.h"

#include <string>

namespace tesselsim::detail {
namespace {

std::pair<long long, Program*> findProgram(FleetState& state, const Json& body)
{
    const long long id = integerMember(body, "programID");
    const auto it = state.behaviour.programs.find(id);
    if (it == state.behaviour.programs.end())
        refuse(NotFound, "no program " + std::to_string(id) + ": create one with createProgram()");
    return {id, &it->second};
}

long long existingTemplate(FleetState& state, const Json& body)
{
    const long long id = integerMember(body, "tplID");
    if (!state.behaviour.templates.count(id))
        refuse(NotFound, "no template " + std::to_string(id) + ": add one with addTpl()");
    return id;
}

void requirePositive(const Json& body, const char* name)
{
    if (body.contains(name) && integerMember(body, name) <= 0)
        refuse(InvalidMember, std::string("member \"") + name + "\" must be a positive integer");
}

Json pageList(const Program& program)
{
    Json pages = Json::array();
    for (const auto& [pageId, pageInfo] : program.pages)
        pages.push_back(Json{{"pageID", pageId}, {"pageInfo", pageInfo}});
    return pages;
}

} // namespace

Replies createProgram(FleetState& state, Request& request)
{
    textMember(request.body, "name");
    requirePositive(request.body, "width");
    requirePositive(request.body, "height");
    const long long id = state.behaviour.nextProgramId++;
    state.behaviour.programs[id].info = request.body;
    return success(Json{{"programID", id}});
}

Replies makeProgram(FleetState& state, Request& request)
{
    const auto [id, program] = findProgram(state, request.body);
    const std::string path = textMember(request.body, "outPutPath");
    if (program->pages.empty())
        refuse(NotFound, "program " + std::to_string(id) + " has no page yet: set one with setPageParam()");
    return success(Json{{"programID", id}, {"outPutPath", path}, {"pageCount", program->pages.size()}});
}

Replies setPageProgram(FleetState& state, Request& request)
{
    const auto [id, program] = findProgram(state, request.body);
    const long long pageId = integerMember(request.body, "pageID");
    program->pages[pageId] = objectMember(request.body, "pageInfo");
    return success(Json{{"programID", id}, {"pageID", pageId}, {"result", "success"}});
}

Replies setPagePrograms(FleetState& state, Request& request)
{
    const auto [id, program] = findProgram(state, request.body);
    program->sceneItems = member(request.body, "sceneItems");
    return success(Json{{"programID", id}, {"result", "success"}});
}

Replies setAudioProgram(FleetState& state, Request& request)
{
    const auto [id, program] = findProgram(state, request.body);
    program->audio = objectMember(request.body, "taskInfo");
    return success(Json{{"programID", id}, {"result", "success"}});
}

// No programID: every program in short; programID: the whole program;
// programID and pageID: that page.
Replies getProgram(FleetState& state, Request& request)
{
    if (!request.body.contains("programID")) {
        Json programs = Json::array();
        for (const auto& [id, program] : state.behaviour.programs) {
            Json pageIds = Json::array();
            for (const auto& page : program.pages)
                pageIds.push_back(page.first);
            programs.push_back(
                Json{{"programID", id}, {"name", program.info.value("name", "")}, {"pageIDs", pageIds}});
        }
        return success(Json{{"programs", programs}});
    }
    const auto [id, program] = findProgram(state, request.body);
    if (request.body.contains("pageID")) {
        const long long pageId = integerMember(request.body, "pageID");
        const auto page = program->pages.find(pageId);
        if (page == program->pages.end())
            refuse(NotFound, "program " + std::to_string(id) + " has no page " + std::to_string(pageId));
        return success(Json{{"programID", id}, {"pageID", pageId}, {"pageInfo", page->second}});
    }
    Json reply{{"programID", id}};
    for (const auto& item : program->info.items())
        reply[item.key()] = item.value();
    reply["pages"] = pageList(*program);
    reply["sceneItems"] = program->sceneItems;
    reply["audio"] = program->audio;
    return success(reply);
}

Replies deleteProgram(FleetState& state, Request& request)
{
    const long long id = findProgram(state, request.body).first;
    state.behaviour.programs.erase(id);
    return success(Json{{"programID", id}, {"result", "deleted"}});
}

namespace {

// A template's layout: one window as an object, or several as an array.
const Json& templateData(const Json& body)
{
    const Json& data = member(body, "data");
    if (!data.is_object() && !data.is_array())
        refuse(InvalidMember, "member \"data\" must be an object or an array of windows, not " + shown(data));
    return data;
}

} // namespace

Replies addTemplate(FleetState& state, Request& request)
{
    const Json& data = templateData(request.body);
    const long long id = state.behaviour.nextTemplateId++;
    state.behaviour.templates[id] = data;
    return success(Json{{"tplID", id}});
}

Replies editTemplate(FleetState& state, Request& request)
{
    const long long id = existingTemplate(state, request.body);
    state.behaviour.templates[id] = templateData(request.body);
    return success(Json{{"tplID", id}, {"result", "success"}});
}

Replies deleteTemplate(FleetState& state, Request& request)
{
    const long long id = existingTemplate(state, request.body);
    state.behaviour.templates.erase(id);
    return success(Json{{"tplID", id}, {"result", "deleted"}});
}

Replies setSystemTemplate(FleetState& state, Request& request)
{
    state.behaviour.systemTemplate = templateData(request.body);
    return success(Json{{"result", "success"}});
}

Replies getCustomerTemplates(FleetState& state, Request&)
{
    Json templates = Json::array();
    for (const auto& [id, data] : state.behaviour.templates)
        templates.push_back(Json{{"tplID", id}, {"data", data}});
    return success(Json{{"templates", templates}, {"systemTemplate", state.behaviour.systemTemplate}});
}

} // namespace tesselsim::detail

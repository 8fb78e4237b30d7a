// The stand-in's change commands: change -o / -i, describe, shelve, submit.

#include "standin_commands.h"
#include "standin_form.h"

#include <algorithm>

namespace velmora {

namespace {

    std::vector<Json*> openedIn(StandInContext& context, const std::string& change)
    {
        std::vector<Json*> files;
        for (Json& file : context.state.json()["opened"]) {
            if (file.value("change", "") == change)
                files.push_back(&file);
        }
        return files;
    }

    void writeChangeSpec(const Json& change, StandInContext& context)
    {
        int number = change.value("change", 0);
        Json record {
            { "Change", std::to_string(number) },
            { "Date", "2024/01/01 00:00:00" },
            { "Client", change.value("client", "") },
            { "User", change.value("user", "") },
            { "Status", change.value("status", "pending") },
            { "Type", "public" },
            { "Description", change.value("description", "") },
        };
        size_t index = 0;
        for (const Json& job : change.value("jobs", Json::array()))
            record["Jobs" + std::to_string(index++)] = job;
        index = 0;
        if (change.value("status", "") == "pending") {
            for (const Json* file : openedIn(context, std::to_string(number)))
                record["Files" + std::to_string(index++)] = file->value("depotFile", "");
        } else {
            for (const Json& file : change.value("files", Json::array()))
                record["Files" + std::to_string(index++)] = file.value("depotFile", "");
        }
        context.out.record(record);
    }

    // Files listed in a form move into the change; with -i on an existing change, its
    // files that the form leaves out go back to the default changelist. A form without a
    // Files field thus empties the change, which is why the layer always writes it back.
    size_t applyFiles(const StandInForm& form, const std::string& number, StandInContext& context)
    {
        std::vector<std::string> listed = form.entries("Files");
        for (Json* file : openedIn(context, number)) {
            if (std::find(listed.begin(), listed.end(), file->value("depotFile", "")) == listed.end())
                (*file)["change"] = "default";
        }
        size_t moved = 0;
        for (const std::string& depot : listed) {
            bool found = false;
            for (Json& file : context.state.json()["opened"]) {
                if (file.value("depotFile", "") == depot) {
                    file["change"] = number;
                    found = true;
                    ++moved;
                }
            }
            if (!found)
                throw StandInError {
                    "Error in change spec.\n" + depot + " - file(s) not opened on this client.", kGenericUsage
                };
        }
        return moved;
    }

    void changeInput(StandInContext& context)
    {
        if (context.out.tagged())
            throw StandInError { "Error in change spec.\nMissing required field 'Change'.", kGenericUsage };
        StandInForm form = parseChangeForm(context.input);
        if (!form.has("Change"))
            throw StandInError { "Error in change spec.\nMissing required field 'Change'.", kGenericUsage };
        std::string description = form.text("Description");
        if (description.empty())
            throw StandInError { "Error in change spec.\nMissing required field 'Description'.",
                kGenericUsage };
        // p4's own placeholder left as it stands counts as no description.
        if (description == "<enter description here>\n")
            throw StandInError {
                "Error in change specification.\nChange description missing.  You must enter one.",
                kGenericUsage
            };

        std::string change_field = form.values.count("Change") ? form.values.at("Change") : "";
        if (change_field == "new") {
            int number = context.state.takeChangeNumber();
            Json change {
                { "change", number },
                { "status", "pending" },
                { "user", form.values.count("User") ? form.values.at("User") : context.user },
                { "client", form.values.count("Client") ? form.values.at("Client") : context.client },
                { "description", description },
                { "jobs", form.entries("Jobs") },
                { "shelved", Json::array() },
            };
            context.state.json()["changes"].push_back(change);
            size_t moved = form.has("Files") ? applyFiles(form, std::to_string(number), context) : 0;
            if (moved > 0)
                context.out.info("Change " + std::to_string(number) + " created with " + std::to_string(moved)
                    + " open file(s).");
            else
                context.out.info("Change " + std::to_string(number) + " created.");
            return;
        }

        Json* change = isNumber(change_field) ? context.state.findChange(std::stoi(change_field)) : nullptr;
        if (!change)
            throw StandInError { "Change " + change_field + " unknown.", kGenericUnknown };
        (*change)["description"] = description;
        (*change)["jobs"] = form.entries("Jobs");
        if ((*change).value("status", "") == "pending")
            applyFiles(form, std::to_string(change->value("change", 0)), context);
        context.out.info("Change " + std::to_string(change->value("change", 0)) + " updated.");
    }

} // namespace

static void deleteChange(const std::string& number, StandInContext& context)
{
    Json* change = isNumber(number) ? context.state.findChange(std::stoi(number)) : nullptr;
    if (!change)
        throw StandInError { "Change " + number + " unknown.", kGenericUnknown };
    const std::string id = std::to_string(change->value("change", 0));
    if (change->value("status", "") != "pending")
        throw StandInError { "Change " + id + " is already committed.", 0 };
    if (size_t open = openedIn(context, id).size(); open > 0)
        throw StandInError { "Change " + id + " has " + std::to_string(open)
                + " open file(s) associated with it and can't be deleted.",
            0 };
    if (!change->value("shelved", Json::array()).empty())
        throw StandInError { "Change " + id + " has shelved files associated with it and can't be deleted.",
            0 };
    Json& changes = context.state.json()["changes"];
    changes.erase(static_cast<size_t>(change - &changes[0]));
    context.out.info("Change " + id + " deleted.");
}

void runChange(const StandInFlags& flags, StandInContext& context)
{
    if (flags.has("-d")) {
        if (flags.has("-i") || flags.has("-o") || flags.files.size() != 1)
            throw StandInError { "Missing/wrong number of arguments.", kGenericUsage };
        deleteChange(flags.files.front(), context);
        return;
    }
    if (flags.has("-i") && !flags.has("-o") && flags.files.empty()) {
        changeInput(context);
        return;
    }
    if (flags.has("-o") && !flags.has("-i") && flags.files.size() == 1) {
        const std::string& number = flags.files.front();
        Json* change = isNumber(number) ? context.state.findChange(std::stoi(number)) : nullptr;
        if (!change)
            throw StandInError { "Change " + number + " unknown.", kGenericUnknown };
        writeChangeSpec(*change, context);
        return;
    }
    throw StandInError { "stand-in p4 takes change -o N or change -i.", kGenericUsage };
}

void runDescribe(const StandInFlags& flags, StandInContext& context)
{
    if (!flags.has("-S") || !flags.has("-s") || flags.files.size() != 1)
        throw StandInError { "stand-in p4 takes describe -S -s N.", kGenericUsage };
    const std::string& number = flags.files.front();
    Json* change = isNumber(number) ? context.state.findChange(std::stoi(number)) : nullptr;
    if (!change)
        throw StandInError { "Change " + number + " unknown.", kGenericUnknown };
    Json record {
        { "change", std::to_string(change->value("change", 0)) },
        { "user", change->value("user", "") },
        { "client", change->value("client", "") },
        { "time", "1704067200" },
        { "desc", change->value("description", "") },
        { "status", change->value("status", "pending") },
        { "changeType", "public" },
    };
    const Json& shelved = (*change)["shelved"];
    if (shelved.is_array() && !shelved.empty())
        record["shelved"] = "";
    for (size_t i = 0; shelved.is_array() && i < shelved.size(); ++i) {
        std::string index = std::to_string(i);
        record["depotFile" + index] = shelved[i].value("depotFile", "");
        record["action" + index] = shelved[i].value("action", "");
        record["type" + index] = shelved[i].value("type", "text");
        record["rev" + index] = revText(shelved[i].value("rev", 0));
        record["fileSize" + index] = "0";
        record["digest" + index] = "D41D8CD98F00B204E9800998ECF8427E";
    }
    context.out.record(record);
}

void runShelve(const StandInFlags& flags, StandInContext& context)
{
    if (!flags.has("-c"))
        throw StandInError { "stand-in p4 shelves a numbered change only (-c N).", kGenericUsage };
    const std::string number = flags.value("-c");
    Json& change = context.state.pendingChange(number);
    Json& shelved = change["shelved"];
    if (!shelved.is_array())
        shelved = Json::array();

    if (flags.has("-d")) {
        if (shelved.empty())
            throw StandInError { "No shelved files in changelist to delete.", 0 };
        shelved = Json::array();
        context.out.info("Shelved change " + std::to_string(change.value("change", 0)) + " deleted.");
        return;
    }

    std::vector<Json*> files = openedIn(context, std::to_string(change.value("change", 0)));
    if (!flags.files.empty()) {
        std::vector<Json*> named;
        for (Json* file : files) {
            for (const std::string& arg : flags.files) {
                std::string revision;
                if (context.state.depotPathOfArg(arg, revision) == file->value("depotFile", ""))
                    named.push_back(file);
            }
        }
        files = named;
    }
    if (files.empty())
        throw StandInError { "No files to shelve.", 0 };
    if (!shelved.empty() && !flags.has("-f") && !flags.has("-r"))
        throw StandInError { "Change " + number + " already has shelved files; use -f or -r to replace them.",
            0 };

    if (flags.has("-r") || shelved.empty()) {
        shelved = Json::array();
    } else {
        // -f replaces the named files' shelved revisions and keeps the others.
        for (Json* file : files) {
            for (size_t i = 0; i < shelved.size(); ++i) {
                if (shelved[i].value("depotFile", "") == file->value("depotFile", "")) {
                    shelved.erase(i);
                    break;
                }
            }
        }
    }
    for (Json* file : files) {
        shelved.push_back(
            Json { { "depotFile", file->value("depotFile", "") }, { "rev", file->value("rev", 0) },
                { "action", file->value("action", "") }, { "type", file->value("type", "text") } });
        context.out.record(Json { { "change", std::to_string(change.value("change", 0)) },
            { "depotFile", file->value("depotFile", "") }, { "rev", revText(file->value("rev", 0)) },
            { "action", file->value("action", "") } });
    }
}

void runSubmit(const StandInFlags& flags, StandInContext& context)
{
    if (!flags.has("-e") || !flags.files.empty())
        throw StandInError { "stand-in p4 submits shelves only (submit -e N).", kGenericUsage };
    const std::string number = flags.value("-e");
    Json& change = context.state.pendingChange(number);
    int pending = change.value("change", 0);
    Json shelved = change.value("shelved", Json::array());
    if (shelved.empty())
        throw StandInError { "Change " + number + " does not have shelved files --  cannot submit.", 0 };
    std::vector<Json*> opened = openedIn(context, std::to_string(pending));
    if (!opened.empty()) {
        for (const Json* file : opened)
            context.out.error(file->value("depotFile", "") + " - file(s) open in change " + number
                + "; revert or reopen them before submitting the shelf.");
        throw StandInError { "Submit failed -- fix problems above then use 'p4 submit -e " + number + "'.",
            0 };
    }

    // p4 renumbers a change when newer changes exist, so that numbers follow submit order.
    int submitted = context.state.hasHigherChange(pending) ? context.state.takeChangeNumber() : pending;
    Json& head = context.state.json()["head"];
    Json files = Json::array();
    context.out.record(
        Json { { "change", std::to_string(pending) }, { "locked", std::to_string(shelved.size()) } });
    for (const Json& file : shelved) {
        std::string depot = file.value("depotFile", "");
        int rev = head.contains(depot) ? head[depot].value("rev", 0) + 1 : 1;
        std::string action = file.value("action", "edit");
        head[depot] = Json { { "rev", rev }, { "action", action }, { "change", submitted } };
        files.push_back(Json { { "depotFile", depot }, { "rev", rev }, { "action", action },
            { "type", file.value("type", "text") } });
        context.out.record(
            Json { { "depotFile", depot }, { "rev", std::to_string(rev) }, { "action", action } });
    }
    change["change"] = submitted;
    change["status"] = "submitted";
    change["submitted_from"] = pending;
    change["files"] = files;
    change["shelved"] = Json::array();
    context.out.record(Json { { "submittedChange", std::to_string(submitted) } });
}

} // namespace velmora

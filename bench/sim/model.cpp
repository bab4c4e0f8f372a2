#include "model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include <toml++/toml.h>

namespace bench {

extern const char* const kDefaultModelText;  // default.toml, compiled in

namespace {

// The first fault found, with the line it is on.
struct Fault {
    std::string message;
    uint32_t line = 0;
};

class ModelReader {
public:
    explicit ModelReader(const std::string& name) : name_(name) {}

    std::optional<SimulatorModel> read(std::string_view text, std::string* error) {
        try {
            const toml::table root = toml::parse(text, name_);
            SimulatorModel model;
            model.source = name_;
            if (!read_root(root, &model)) return fail(error);
            return model;
        } catch (const toml::parse_error& e) {
            *error = name_ + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
            return std::nullopt;
        }
    }

private:
    std::optional<SimulatorModel> fail(std::string* error) {
        *error = name_ + ":" + std::to_string(fault_.line) + ": " + fault_.message;
        return std::nullopt;
    }

    bool fault(const toml::node& at, const std::string& message) {
        fault_ = {message, at.source().begin.line};
        return false;
    }

    static std::string shown(const toml::node& node) {
        if (auto s = node.value<std::string>()) return "\"" + *s + "\"";
        if (node.is_integer()) return std::to_string(*node.value<int64_t>());
        if (node.is_floating_point()) return std::to_string(*node.value<double>());
        if (node.is_boolean()) return *node.value<bool>() ? "true" : "false";
        if (node.is_array()) return "an array";
        if (node.is_table()) return "a table";
        return "a value";
    }

    bool only_keys(const toml::table& table, std::initializer_list<std::string_view> allowed, const char* where) {
        for (auto&& [key, node] : table) {
            if (std::find(allowed.begin(), allowed.end(), key.str()) != allowed.end()) continue;
            std::string list;
            for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
            fault_ = {"unknown key \"" + std::string(key.str()) + "\" in " + where + ", expected one of " + list,
                      key.source().begin.line ? key.source().begin.line : node.source().begin.line};
            return false;
        }
        return true;
    }

    bool number(const toml::node& node, const std::string& what, double* out) {
        if (auto v = node.value<double>(); v && std::isfinite(*v)) {
            *out = *v;
            return true;
        }
        return fault(node, "expected " + what + " to be a number, got " + shown(node));
    }

    bool variable_number(const toml::node& node, const std::string& what, uint32_t* out) {
        const auto v = node.value<int64_t>();
        if (node.is_integer() && v && *v > 0 && *v <= 0xFFFFFFFFll) {
            *out = static_cast<uint32_t>(*v);
            return true;
        }
        return fault(node, "expected " + what + " to be a whole number from 1 to 4294967295, got " + shown(node));
    }

    bool read_root(const toml::table& root, SimulatorModel* model) {
        if (!only_keys(root, {"clock", "variables", "events"}, "the model")) return false;
        if (const toml::node* clock = root.get("clock")) {
            if (!clock->is_table()) return fault(*clock, "expected [clock] to be a table, got " + shown(*clock));
            if (!read_clock(*clock->as_table(), &model->clock)) return false;
        }
        if (const toml::node* variables = root.get("variables")) {
            if (!variables->is_array_of_tables())
                return fault(*variables, "expected [[variables]] tables, got " + shown(*variables));
            for (const toml::node& entry : *variables->as_array()) {
                ModelVariable variable;
                if (!read_variable(*entry.as_table(), &variable)) return false;
                if (model->variable(variable.id))
                    return fault(entry,
                                 "expected each variable once, got variable " + std::to_string(variable.id) + " again");
                model->variables.push_back(std::move(variable));
            }
        }
        if (const toml::node* events = root.get("events")) {
            if (!events->is_array_of_tables())
                return fault(*events, "expected [[events]] tables, got " + shown(*events));
            for (const toml::node& entry : *events->as_array()) {
                ModelEvent event;
                if (!read_event(*entry.as_table(), *model, &event)) return false;
                if (model->event(event.id))
                    return fault(entry, "expected each event once, got event " + std::to_string(event.id) + " again");
                model->events.push_back(std::move(event));
            }
        }
        return true;
    }

    bool read_clock(const toml::table& table, ModelClock* clock) {
        if (!only_keys(table, {"hours", "minutes", "seconds", "start"}, "[clock]")) return false;
        clock->present = true;
        const struct {
            const char* key;
            uint32_t* target;
        } parts[] = {{"hours", &clock->hours}, {"minutes", &clock->minutes}, {"seconds", &clock->seconds}};
        for (const auto& part : parts) {
            const toml::node* node = table.get(part.key);
            if (!node)
                return fault(table, std::string("expected \"") + part.key + "\" in [clock], the variable it shows");
            if (!variable_number(*node, std::string("\"") + part.key + "\"", part.target)) return false;
        }
        if (const toml::node* start = table.get("start")) {
            const auto text = start->value<std::string>();
            int h = -1, m = -1, s = -1;
            char end = 0;
            if (!text || std::sscanf(text->c_str(), "%d:%d:%d%c", &h, &m, &s, &end) != 3 || h < 0 || h > 23 || m < 0 ||
                m > 59 || s < 0 || s > 59)
                return fault(*start, "expected \"start\" as \"HH:MM:SS\" (00:00:00 to 23:59:59), got " + shown(*start));
            clock->start = static_cast<uint32_t>(h * 3600 + m * 60 + s);
        }
        return true;
    }

    bool read_variable(const toml::table& table, ModelVariable* variable) {
        if (!only_keys(table, {"id", "name", "range", "initial", "detents"}, "[[variables]]")) return false;
        const toml::node* id = table.get("id");
        if (!id) return fault(table, "expected \"id\" in [[variables]], the variable's number");
        if (!variable_number(*id, "\"id\"", &variable->id)) return false;
        if (const toml::node* name = table.get("name")) {
            if (!name->is_string()) return fault(*name, "expected \"name\" to be text, got " + shown(*name));
            variable->name = *name->value<std::string>();
        }
        const toml::node* range = table.get("range");
        if (!range) return fault(table, "expected \"range\" = [MIN, MAX] in [[variables]]");
        const toml::array* bounds = range->as_array();
        if (!bounds || bounds->size() != 2)
            return fault(*range, "expected \"range\" = [MIN, MAX], got " + shown(*range));
        if (!number(*bounds->get(0), "MIN", &variable->min) || !number(*bounds->get(1), "MAX", &variable->max))
            return false;
        if (variable->min > variable->max)
            return fault(*range, "expected MIN no larger than MAX in \"range\", got [" + shown(*bounds->get(0)) + ", " +
                                     shown(*bounds->get(1)) + "]");
        if (const toml::node* initial = table.get("initial")) {
            double value = 0;
            if (!number(*initial, "\"initial\"", &value)) return false;
            variable->initial = value;
        }
        if (const toml::node* detents = table.get("detents")) {
            const toml::array* list = detents->as_array();
            if (!list || list->empty())
                return fault(*detents, "expected \"detents\" to be a list of numbers, got " + shown(*detents));
            for (const toml::node& detent : *list) {
                double value = 0;
                if (!number(detent, "a detent", &value)) return false;
                if (!variable->detents.empty() && value <= variable->detents.back())
                    return fault(detent, "expected the detents in rising order, got " + shown(detent) + " after " +
                                             std::to_string(variable->detents.back()));
                variable->detents.push_back(value);
            }
        }
        return true;
    }

    const ModelVariable* known_variable(const toml::node& node, const SimulatorModel& model, uint32_t* id) {
        if (!variable_number(node, "the variable", id)) return nullptr;
        const ModelVariable* found = model.variable(*id);
        if (!found)
            fault(node,
                  "expected a variable listed in [[variables]] before the event, got variable " + std::to_string(*id));
        return found;
    }

    bool read_event(const toml::table& table, const SimulatorModel& model, ModelEvent* event) {
        if (!only_keys(table, {"id", "name", "set", "step", "const", "clock", "record", "keep"}, "[[events]]"))
            return false;
        const toml::node* id = table.get("id");
        if (!id) return fault(table, "expected \"id\" in [[events]], the event's number");
        if (!variable_number(*id, "\"id\"", &event->id)) return false;
        if (const toml::node* name = table.get("name")) {
            if (!name->is_string()) return fault(*name, "expected \"name\" to be text, got " + shown(*name));
            event->name = *name->value<std::string>();
        }
        int actions = 0;
        for (const char* key : {"set", "step", "const", "clock", "record", "keep"}) actions += table.contains(key);
        if (actions != 1)
            return fault(table, "expected one of set, step, const, clock, record or keep in event " +
                                    std::to_string(event->id) + ", got " + std::to_string(actions));
        if (const toml::node* set = table.get("set")) {
            event->kind = ModelEvent::kSet;
            return known_variable(*set, model, &event->variable) != nullptr;
        }
        if (const toml::node* step = table.get("step")) {
            event->kind = ModelEvent::kStep;
            const toml::table* fields = step->as_table();
            if (!fields) return fault(*step, "expected step = { variable = V, direction = \"up\" | \"down\" }");
            if (!only_keys(*fields, {"variable", "direction"}, "step")) return false;
            const toml::node* variable = fields->get("variable");
            if (!variable) return fault(*step, "expected \"variable\" in step");
            const ModelVariable* target = known_variable(*variable, model, &event->variable);
            if (!target) return false;
            if (target->detents.empty())
                return fault(*variable,
                             "expected variable " + std::to_string(event->variable) + " to have detents to step over");
            const toml::node* direction = fields->get("direction");
            const auto word = direction ? direction->value<std::string>() : std::nullopt;
            if (!word || (*word != "up" && *word != "down"))
                return fault(direction ? *direction : *step,
                             "expected direction = \"up\" or \"down\" in step" +
                                 (direction ? ", got " + shown(*direction) : std::string()));
            event->direction = *word == "up" ? 1 : -1;
            return true;
        }
        if (const toml::node* constants = table.get("const")) {
            event->kind = ModelEvent::kConst;
            const toml::array* list = constants->as_array();
            if (!list || list->empty())
                return fault(*constants,
                             "expected const = [{ variable = V, value = X }, ...], got " + shown(*constants));
            for (const toml::node& entry : *list) {
                const toml::table* fields = entry.as_table();
                if (!fields) return fault(entry, "expected { variable = V, value = X }, got " + shown(entry));
                if (!only_keys(*fields, {"variable", "value"}, "const")) return false;
                const toml::node* variable = fields->get("variable");
                const toml::node* value = fields->get("value");
                if (!variable || !value) return fault(entry, "expected { variable = V, value = X }");
                uint32_t target = 0;
                double number_value = 0;
                if (!known_variable(*variable, model, &target) || !number(*value, "\"value\"", &number_value))
                    return false;
                event->constants.emplace_back(target, number_value);
            }
            return true;
        }
        if (const toml::node* clock = table.get("clock")) {
            event->kind = ModelEvent::kClock;
            static const std::pair<const char*, ClockKnob> kKnobs[] = {
                {"hour back", ClockKnob::kHourBack},
                {"hour on", ClockKnob::kHourOn},
                {"minute back", ClockKnob::kMinuteBack},
                {"minute on", ClockKnob::kMinuteOn},
                {"seconds to zero", ClockKnob::kSecondsToZero},
            };
            const auto word = clock->value<std::string>();
            for (const auto& [name, knob] : kKnobs)
                if (word && *word == name) {
                    event->knob = knob;
                    if (!model.clock.present) return fault(*clock, "expected a [clock] before a clock event");
                    return true;
                }
            return fault(*clock,
                         "expected clock = \"hour back\", \"hour on\", \"minute back\", \"minute on\" or "
                         "\"seconds to zero\", got " +
                             shown(*clock));
        }
        const bool keep = table.contains("keep");
        const toml::node& flag = *table.get(keep ? "keep" : "record");
        if (flag.value<bool>() != true)
            return fault(flag, std::string("expected ") + (keep ? "keep" : "record") + " = true");
        event->kind = keep ? ModelEvent::kKeep : ModelEvent::kRecord;
        return true;
    }

    std::string name_;
    Fault fault_;
};

}  // namespace

const ModelVariable* SimulatorModel::variable(uint32_t id) const {
    for (const ModelVariable& v : variables)
        if (v.id == id) return &v;
    return nullptr;
}

const ModelEvent* SimulatorModel::event(uint32_t id) const {
    for (const ModelEvent& e : events)
        if (e.id == id) return &e;
    return nullptr;
}

std::optional<SimulatorModel> parse_model(std::string_view text, const std::string& name, std::string* error) {
    return ModelReader(name).read(text, error);
}

std::optional<SimulatorModel> read_model(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot read the simulator model";
        return std::nullopt;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parse_model(text, path, error);
}

const SimulatorModel& default_model() {
    static const SimulatorModel model = [] {
        std::string error;
        std::optional<SimulatorModel> parsed = parse_model(kDefaultModelText, "the default model", &error);
        if (!parsed) {
            std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
            std::abort();
        }
        return *parsed;
    }();
    return model;
}

}  // namespace bench

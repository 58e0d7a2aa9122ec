// Turns the main window's menu table (main_window.tsv) into three C++
// fragments for app/main_window_form.{h,cpp}:
//   main_window_actions.inc  struct MainWindowActions: the QAction members of
//                            Ui_MainWindow, in table order
//   main_window_menus.inc    struct MainWindowMenus: the QMenu members, in
//                            table order
//   main_window_table.inc    the rows that setupUi and retranslateUi walk
//
// Usage: make_form TABLE.tsv OUTDIR
//
// The table is checked while it is read: unknown kinds and attributes,
// repeated names, entries outside a menu and submenus that are not placed
// exactly once (or placed in a menu that comes after them) are refused with
// the line number. Outputs are rewritten only when their content changes.

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Action {
    std::string name, text, key, icon, iconOn, toolTip, statusTip, iconText;
    std::vector<std::string> flags;
    bool removed = false;
};

struct Menu {
    std::string name, title, icon, statusTip;
    bool removed = false;
    int parent = -2;  // -1: the menu bar; -2: not placed yet
};

struct Entry {
    int holder;  // -1: the menu bar
    char kind;   // 'A' action, 'M' menu, 'S' separator
    std::string name;
};

struct Form {
    std::vector<Action> actions;
    std::vector<Menu> menus;
    std::vector<Entry> entries;
};

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type start = 0, tab;
    while ((tab = line.find('\t', start)) != std::string::npos) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

class Reader {
public:
    explicit Reader(Form& form) : form_(form) {}

    bool line(int number, const std::string& text) {
        number_ = number;
        if (text.empty() || text[0] == '#') return true;
        const std::vector<std::string> f = splitTabs(text);
        const std::string& kind = f[0];
        if (kind == "menubar") return menuBar(f);
        if (kind == "menu") return menu(f);
        if (kind == "action") return action(f);
        if (kind == "submenu") return entry(f, 'M');
        if (kind == "separator") return entry(f, 'S');
        return fail("unknown kind '" + kind + "'");
    }

    // Resolves the submenu entries once every menu is known.
    bool finish() {
        number_ = 0;
        std::map<std::string, int> index;
        for (size_t i = 0; i < form_.menus.size(); ++i) index[form_.menus[i].name] = static_cast<int>(i);
        for (const Entry& e : form_.entries) {
            if (e.kind != 'M') continue;
            const auto it = index.find(e.name);
            if (it == index.end()) return fail("no menu named " + e.name);
            Menu& m = form_.menus[it->second];
            if (m.parent != -2) return fail(e.name + " is placed twice");
            if (e.holder >= it->second) return fail(e.name + " comes before its holder");
            m.parent = e.holder;
        }
        for (const Menu& m : form_.menus)
            if (m.parent == -2) return fail(m.name + " is placed nowhere");
        return true;
    }

private:
    Form& form_;
    int number_ = 0;
    int holder_ = -2;  // -2: before the first holder
    bool sawMenuBar_ = false;
    std::set<std::string> names_;
    // The table's flag words and the build table's flags.
    const std::map<std::string, std::string> kFlags = {{"toggle", "kCheckable"},
                                                       {"on", "kCheckable | kChecked"},
                                                       {"disabled", "kDisabled"},
                                                       {"bold", "kBold"},
                                                       {"italic", "kItalic"}};

    bool fail(const std::string& message) {
        if (number_ > 0)
            std::fprintf(stderr, "main window table, line %d: %s\n", number_, message.c_str());
        else
            std::fprintf(stderr, "main window table: %s\n", message.c_str());
        return false;
    }

    bool newName(const std::string& name) {
        if (name.empty()) return fail("missing name");
        if (names_.count(name)) return fail("repeated name " + name);
        names_.insert(name);
        return true;
    }

    bool menuBar(const std::vector<std::string>& f) {
        if (sawMenuBar_ || f.size() != 1) return fail("one bare menubar line expected");
        sawMenuBar_ = true;
        holder_ = -1;
        return true;
    }

    bool menu(const std::vector<std::string>& f) {
        if (f.size() < 3) return fail("menu needs a name and a title");
        if (!newName(f[1])) return false;
        Menu m;
        m.name = f[1];
        m.title = f[2];
        for (size_t i = 3; i < f.size(); ++i) {
            const std::string& a = f[i];
            if (a.rfind("icon=", 0) == 0)
                m.icon = a.substr(5);
            else if (a.rfind("status=", 0) == 0)
                m.statusTip = a.substr(7);
            else if (a == "removed")
                m.removed = true;
            else
                return fail("unknown menu attribute '" + a + "'");
        }
        holder_ = static_cast<int>(form_.menus.size());
        form_.menus.push_back(m);
        return true;
    }

    bool action(const std::vector<std::string>& f) {
        if (f.size() < 3) return fail("action needs a name and a text");
        if (!newName(f[1])) return false;
        Action a;
        a.name = f[1];
        a.text = f[2];
        const std::pair<const char*, std::string Action::*> texts[] = {
            {"key=", &Action::key},     {"icon=", &Action::icon},        {"iconOn=", &Action::iconOn},
            {"tip=", &Action::toolTip}, {"status=", &Action::statusTip}, {"iconText=", &Action::iconText}};
        for (size_t i = 3; i < f.size(); ++i) {
            const std::string& attr = f[i];
            bool known = false;
            for (const auto& t : texts) {
                const std::string prefix = t.first;
                if (attr.rfind(prefix, 0) == 0) {
                    a.*t.second = attr.substr(prefix.size());
                    known = true;
                }
            }
            if (known) continue;
            if (attr == "removed") {
                a.removed = true;
                continue;
            }
            const auto flag = kFlags.find(attr);
            if (flag == kFlags.end()) return fail("unknown action attribute '" + attr + "'");
            a.flags.push_back(flag->second);
        }
        if (!a.iconOn.empty() && a.icon.empty()) return fail("iconOn without icon");
        form_.actions.push_back(a);
        return entry({"action", f[1]}, 'A');
    }

    bool entry(const std::vector<std::string>& f, char kind) {
        if (holder_ == -2) return fail("entry outside a menu");
        if ((kind == 'S') != (f.size() == 1) || f.size() > 2) return fail("malformed entry");
        form_.entries.push_back({holder_, kind, kind == 'S' ? std::string() : f[1]});
        return true;
    }
};

// A C++ string literal; an empty text is a null pointer.
std::string literal(const std::string& text, bool translatable) {
    if (text.empty()) return "nullptr";
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return translatable ? "QT_TRANSLATE_NOOP(\"MainWindow\", " + out + ")" : out;
}

std::string flags(const std::vector<std::string>& names) {
    if (names.empty()) return "0";
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : " | ") + n;
    return out;
}

const char* const kBanner = "// Generated by make_form from app/form/main_window.tsv: edit the table, not this file.\n";

const char* removedNote(bool removed) { return removed ? "  // deleted by the window's constructor\n" : "\n"; }

// A whole struct, included at file scope: Ui_MainWindow derives from both.
std::string members(const Form& form, bool actions) {
    std::ostringstream out;
    out << kBanner << "struct " << (actions ? "MainWindowActions" : "MainWindowMenus") << " {\n";
    if (actions)
        for (const Action& a : form.actions)
            out << "    QAction* " << a.name << " = nullptr;" << removedNote(a.removed);
    else
        for (const Menu& m : form.menus) out << "    QMenu* " << m.name << " = nullptr;" << removedNote(m.removed);
    out << "};\n";
    return out.str();
}

std::string table(const Form& form) {
    std::map<std::string, size_t> actionIndex, menuIndex;
    for (size_t i = 0; i < form.actions.size(); ++i) actionIndex[form.actions[i].name] = i;
    for (size_t i = 0; i < form.menus.size(); ++i) menuIndex[form.menus[i].name] = i;
    std::ostringstream out;
    out << kBanner << "const ActionRow kActionRows[] = {\n";
    for (const Action& a : form.actions)
        out << "    {&Ui_MainWindow::" << a.name << ", " << literal(a.name, false) << ", " << literal(a.text, true)
            << ", " << literal(a.key, true) << ", " << literal(a.icon, false) << ", " << literal(a.iconOn, false)
            << ", " << literal(a.toolTip, true) << ", " << literal(a.statusTip, true) << ", "
            << literal(a.iconText, true) << ", " << flags(a.flags) << "},\n";
    out << "};\n\nconst MenuRow kMenuRows[] = {\n";
    for (const Menu& m : form.menus)
        out << "    {&Ui_MainWindow::" << m.name << ", " << literal(m.name, false) << ", " << literal(m.title, true)
            << ", " << literal(m.icon, false) << ", " << literal(m.statusTip, true) << ", " << m.parent << "},\n";
    out << "};\n\nconst EntryRow kEntryRows[] = {\n";
    for (const Entry& e : form.entries) {
        out << "    {" << e.holder << ", ";
        if (e.kind == 'A')
            out << "EntryRow::Action, " << actionIndex[e.name];
        else if (e.kind == 'M')
            out << "EntryRow::Menu, " << menuIndex[e.name];
        else
            out << "EntryRow::Separator, 0";
        out << "},\n";
    }
    out << "};\n";
    return out.str();
}

bool writeIfChanged(const std::string& path, const std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream old;
    old << in.rdbuf();
    if (in && old.str() == text) return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_form TABLE.tsv OUTDIR\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    Form form;
    Reader reader(form);
    std::string text;
    for (int number = 1; std::getline(in, text); ++number)
        if (!reader.line(number, text)) return 1;
    if (!reader.finish()) return 1;
    const std::string dir = argv[2];
    const bool ok = writeIfChanged(dir + "/main_window_actions.inc", members(form, true)) &&
                    writeIfChanged(dir + "/main_window_menus.inc", members(form, false)) &&
                    writeIfChanged(dir + "/main_window_table.inc", table(form));
    return ok ? 0 : 1;
}

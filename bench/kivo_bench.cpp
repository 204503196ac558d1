// Kivo against its yardsticks on this machine, in one run: a batch through the main window against
// a bare shell loop over the same converter and files, the directory walk against find, and
// start-up time and memory against a minimal Qt Widgets program. Prints one table of ratios.

#include "convert/formats.h"
#include "convert/state.h"
#include "convert/walk.h"
#include "forms/app_helpers.h"
#include "forms/file_dialog.h"
#include "forms/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using seconds = std::chrono::duration<double>;

namespace {

double time_of(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return seconds(std::chrono::steady_clock::now() - start).count();
}

void write(const fs::path& path, const std::string& text, bool executable = false) {
    std::ofstream(path) << text;
    if (executable)
        fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

std::string quoted(const fs::path& p) {
    return "'" + p.string() + "'";
}

void shell(const std::string& command) {
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "kivo_bench: failed: %s\n", command.c_str());
}

// The window's directory run, the picker answered at once with `dir`.
void window_directory_run(forms::frm_main& w, const fs::path& dir) {
    QTimer::singleShot(0, [dir] { mod_convert::state().chosen_directory = dir.string() + "/"; });
    w.cmd_selectdir_Click();
}

struct row {
    std::string what;
    double kivo, reference, goal;
    std::string reference_name;
};

// The best of `rounds` interleaved pairs: the machine's noise only ever adds time.
row compare(const std::string& what, const std::string& reference_name, double goal, int rounds,
            const std::function<void()>& prepare, const std::function<void()>& kivo,
            const std::function<void()>& reference) {
    row r{what, 1e9, 1e9, goal, reference_name};
    for (int i = 0; i < rounds; ++i) {
        prepare();
        r.kivo = std::min(r.kivo, time_of(kivo));
        prepare();
        r.reference = std::min(r.reference, time_of(reference));
    }
    return r;
}

// A batch of 300 .agn files with the converter `converter_body`.
row batch_row(forms::frm_main& w, const fs::path& app, const fs::path& work, const std::string& label,
              const std::string& converter_body) {
    write(app / "agn2tsv", "#!/bin/sh\n" + converter_body + "\n", true);
    const fs::path files = work / "files";
    const auto prepare = [&] {
        fs::remove_all(files);
        fs::create_directories(files);
        for (int i = 0; i < 300; ++i)
            write(files / ("file" + std::to_string(i) + ".agn"), "line one\nline two\n");
    };
    const std::string loop = "cd " + quoted(files) + " && for f in *.agn; do " + quoted(app / "agn2tsv") +
                             " \"$f\" > \"${f%.agn}.tsv\"; done";
    return compare(
        "300-file batch, " + label, "shell loop", label.find("10 ms") == 0 ? 1.10 : 0, 5, prepare,
        [&] { window_directory_run(w, files); }, [&] { shell(loop); });
}

// A small Data file: two labelled fields and three records.
std::string small_dbf(int n) {
    const auto word = [](unsigned v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; };
    const auto qstr = [](const std::string& t) { return std::string(1, static_cast<char>(t.size())) + t; };
    const auto record = [&](unsigned type, const std::string& data) {
        return word(type << 12 | static_cast<unsigned>(data.size())) + data;
    };
    std::string labels = record(4, qstr("Name:") + qstr("Tel:"));
    std::string out =
        std::string("OPLDatabaseFile\0\x0F\x10\x16\x00\x0F\x10", 22) + record(2, "\x03\x03") + record(3, labels);
    for (int r = 0; r < 3; ++r)
        out += record(1, qstr("Person " + std::to_string(n * 3 + r)) + qstr("0123 45678"));
    return out;
}

// Small Data files through Kivo's own dbf2tsv: a directory batch into files or into one file,
// against the shell loop that does the same.
row data_row(forms::frm_main& w, const fs::path& work, bool single, int count = 500,
             const std::string& where = std::string()) {
    const fs::path files = work / "data", all = work / "all.tsv";
    const auto prepare = [&] {
        fs::remove_all(files);
        fs::remove(all);
        fs::create_directories(files);
        for (int i = 0; i < count; ++i)
            write(files / ("file" + std::to_string(i) + ".dbf"), small_dbf(i));
    };
    const std::string converter = quoted(fs::path(mod_convert::state().app_dir) / "dbf2tsv");
    const std::string loop =
        "cd " + quoted(files) + " && for f in *.dbf; do " + converter +
        (single ? " \"$f\" | sed \"s/^/$f\t/\" >> " + quoted(all) + "; done" : " \"$f\" > \"${f%.dbf}.tsv\"; done");
    return compare(
        std::to_string(count) + " Data files, our dbf2tsv, " + (single ? "one file" : "individual") + where,
        "shell loop", 1.25, count > 500 ? 3 : 5, prepare,
        [&] {
            // Choosing "single file" asks for the file at once.
            forms::file_dialog::set_next_answer({QString::fromStdString(all.string())});
            w.findChild<QRadioButton*>(QString::fromLatin1(single ? "opt_to_one" : "opt_to_many"))->setChecked(true);
            forms::file_dialog::clear_next_answer();
            window_directory_run(w, files);
        },
        [&] { shell(loop); });
}

// The same 500 files picked in the file dialog, against the directory batch over them.
row selection_row(forms::frm_main& w, const fs::path& work) {
    const fs::path files = work / "data";
    QStringList picked;
    for (int i = 0; i < 500; ++i)
        picked << QString::fromStdString((files / ("file" + std::to_string(i) + ".dbf")).string());
    const auto prepare = [&] {
        for (const auto& e : fs::directory_iterator(files))
            if (e.path().extension() == ".tsv")
                fs::remove(e.path());
    };
    w.findChild<QRadioButton*>(QStringLiteral("opt_to_many"))->setChecked(true);
    return compare(
        "500 Data files picked in the file dialog", "dir batch", 1.1, 5, prepare,
        [&] {
            forms::file_dialog::set_next_answer(picked);
            w.cmd_selectfiles_Click();
        },
        [&] { window_directory_run(w, files); });
}

void make_tree(const fs::path& root, int dirs, int files_each) {
    fs::remove_all(root);
    for (int d = 0; d < dirs; ++d) {
        const fs::path dir = root / ("dir" + std::to_string(d));
        fs::create_directories(dir);
        for (int f = 0; f < files_each; ++f)
            write(dir / ("file" + std::to_string(f) + ".agn"), "");
    }
}

row walk_row(forms::frm_main& w, const fs::path& tree, int dirs, int files_each, double goal) {
    make_tree(tree, dirs, files_each);
    const std::string label = std::to_string(dirs * files_each) + " files in " + std::to_string(dirs) + " dirs";
    return compare(
        "walk, " + label, "find", goal, 3, [] {}, [&] { window_directory_run(w, tree); },
        [&] { shell("find " + quoted(tree) + " -name '*.nomatch' > /dev/null"); });
}

// Wall time and peak memory of this program started in one of its start-up modes.
std::pair<double, long> start_up(const char* self, const char* mode) {
    double best = 1e9;
    long rss = 0;
    for (int i = 0; i < 5; ++i) {
        best = std::min(best, time_of([&] {
                            const pid_t pid = ::fork();
                            if (pid == 0) {
                                ::execl(self, self, mode, static_cast<char*>(nullptr));
                                ::_exit(127);
                            }
                            int status = 0;
                            struct rusage usage {};
                            ::wait4(pid, &status, 0, &usage);
                            rss = std::max(rss, usage.ru_maxrss);
                        }));
    }
    return {best, rss};
}

// Start-up modes: show the window, let it be painted once, quit.
int show_and_quit(int argc, char** argv, bool kivo) {
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window;
    if (kivo) {
        forms::use_classic_style();
        mod_convert::state().app_dir = fs::path(argv[0]).parent_path().string();
        mod_convert::state().exe_base_name = "kivo";
        window = std::make_unique<forms::frm_main>();
    } else {
        window = std::make_unique<QWidget>();
        window->resize(500, 430);
    }
    window->show();
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}

void print(const std::vector<row>& rows) {
    std::printf("%-42s %10s %12s %10s %8s %6s\n", "measure", "Kivo", "yardstick", "", "ratio", "goal");
    for (const auto& r : rows) {
        const double ratio = r.kivo / r.reference;
        std::printf("%-42s %9.3fs %11.3fs %-10s %8.2f", r.what.c_str(), r.kivo, r.reference, r.reference_name.c_str(),
                    ratio);
        if (r.goal > 0)
            std::printf(" %s%5.2f", ratio <= r.goal ? "<=" : "> ", r.goal);
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--start-kivo")
        return show_and_quit(argc, argv, true);
    if (argc > 1 && std::string(argv[1]) == "--start-minimal")
        return show_and_quit(argc, argv, false);

    const fs::path work = fs::temp_directory_path() / ("kivo-bench-" + std::to_string(::getpid()));
    const fs::path app = work / "app";
    fs::create_directories(app);
    std::vector<row> rows;
    {
        if (qgetenv("QT_QPA_PLATFORM").isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication qapp(argc, argv);
        forms::use_classic_style();
        mod_convert::state().app_dir = app.string();
        mod_convert::state().exe_base_name = "kivo";
        write(app / "agn2tsv", "#!/bin/sh\n", true);
        forms::frm_main w;
        w.show();
        w.findChild<QRadioButton*>(QStringLiteral("opt_from(0)"))->click(); // agn to tsv
        w.findChild<QCheckBox*>(QStringLiteral("chk_includesubdirs"))->setChecked(true);
        // --data-only: the Data file rows alone, for a profiler (perf record -g kivo_bench --data-only).
        // --screen-reader: 2,000 Data files in a real window with the accessibility bridge on, as
        // `kivo.sh bench` runs it under Xvfb with the AT-SPI bus.
        const bool data_only = argc > 1 && std::string(argv[1]) == "--data-only";
        const bool screen_reader = argc > 1 && std::string(argv[1]) == "--screen-reader";
        if (!data_only && !screen_reader) {
            rows.push_back(batch_row(w, app, work, "10 ms converter", "sleep 0.01; cat \"$1\""));
            rows.push_back(batch_row(w, app, work, "no-op converter", "cat \"$1\""));
        }
        fs::copy_file(fs::path(argv[0]).parent_path().parent_path() / "src" / "dbf2tsv", app / "dbf2tsv");
        w.findChild<QRadioButton*>(QStringLiteral("opt_from(1)"))->click(); // dbf to tsv
        rows.push_back(screen_reader ? data_row(w, work, false, 2000, ", Xvfb, a11y") : data_row(w, work, false));
        if (data_only || screen_reader) {
            print(rows);
            fs::remove_all(work);
            return 0;
        }
        rows.push_back(data_row(w, work, true));
        rows.push_back(selection_row(w, work));
        w.findChild<QRadioButton*>(QStringLiteral("opt_from(0)"))->click();
        w.findChild<QLineEdit*>(QStringLiteral("txt_from_filename"))->setText(QStringLiteral("*.nomatch"));
        rows.push_back(walk_row(w, work / "tree", 1000, 20, 3.0));
        const row small = walk_row(w, work / "siblings", 1000, 0, 0);
        const row large = walk_row(w, work / "siblings", 4000, 0, 0);
        rows.push_back(small);
        rows.push_back(large);
        rows.push_back({"walk growth, 4,000 / 1,000 sibling dirs", large.kivo, small.kivo, 4.4, "1,000 dirs"});
    }
    const auto kivo = start_up(argv[0], "--start-kivo");
    const auto minimal = start_up(argv[0], "--start-minimal");
    rows.push_back({"start-up to first paint", kivo.first, minimal.first, 1.2, "minimal Qt"});
    print(rows);
    std::printf("%-42s %8ld KB %9ld KB %-10s %8.2f %s%5.2f\n", "peak memory (RSS)", kivo.second, minimal.second,
                "minimal Qt", double(kivo.second) / double(minimal.second),
                double(kivo.second) / double(minimal.second) <= 1.2 ? "<=" : "> ", 1.2);
    fs::remove_all(work);
    return 0;
}

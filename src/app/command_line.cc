#include "app/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>

#include "base/text.h"
#include "commands/check.h"
#include "commands/command_files.h"
#include "commands/dhis2.h"
#include "commands/export.h"
#include "commands/history.h"
#include "commands/import.h"
#include "commands/pull.h"
#include "commands/push.h"
#include "commands/report.h"
#include "dialogue/pass_loop.h"
#include "web/server.h"

namespace census {
namespace {

constexpr std::string_view kVersionText = "census " CENSUS_VERSION
                                          "\n"
                                          "Copyright (c) 2026 the census authors\n"
                                          "License: MIT";

// The help's last lines; the manual is named as this platform has it.
std::string helpFooter() {
  return "With no command, census runs the dialogue: it asks for a number (-1 quits)\n"
         "and an option code from 1 to 10 at each pass; " +
         std::string(manualPointer()) +
         ".\n"
         "Exit status: 0 success, 1 problems in the data, 2 usage or environment.";
}

// The settings of every command; each reads only its own.
struct CommandSettings {
  std::string format = "csv";               // export
  std::string period;                       // export for DHIS2
  bool init_mapping = false;                // export for DHIS2
  std::string output;                       // export, report: "" for the default
  std::string input;                        // import
  bool dry_run = false;                     // import
  int port = kDefaultServePort;             // serve
  bool open_browser = false;                // serve
  std::string history_file;                 // history
  bool start_history = false;               // history
  std::string save_number;                  // restore
  std::vector<std::string> restored_files;  // restore
  std::string push_url;                     // push
  std::string token_file;                   // push
  std::string ca_file;                      // push
  int timeout = 30;                         // push, pull, in seconds
  bool save = false;                        // pull
};

void noOptions(CLI::App&, CommandSettings&) {}

void exportOptions(CLI::App& command, CommandSettings& settings) {
  command
      .add_option("--format", settings.format,
                  "csv (the default), json, or for DHIS2 dhis2 (a data value set) or adx")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"csv", "json", "dhis2", "adx"}))
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  command.add_option("-o,--output", settings.output, "Write to FILE, not to standard output")
      ->type_name("FILE")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  command
      .add_option("--period", settings.period,
                  "For dhis2 and adx: the year of the figures (default: census-dhis2.json's, "
                  "else this year)")
      ->type_name("YEAR")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  command.add_flag("--init-mapping", settings.init_mapping,
                   "With --format dhis2: write census-dhis2.json with the default codes");
}

std::string periodProblem(const std::string& period) {
  if (period.empty() || isDhis2Year(period)) return "";
  return "--period takes a year, as 2026, not " + quotedForScreen(period);
}

// Where the settings of an export for DHIS2 do not go together, why.
std::string dhis2Problem(const CommandSettings& settings) {
  const bool dhis2 = settings.format == "dhis2" || settings.format == "adx";
  if (!dhis2 && (!settings.period.empty() || settings.init_mapping)) {
    return "--period and --init-mapping go with --format dhis2 or adx";
  }
  if (const std::string problem = periodProblem(settings.period); !problem.empty()) {
    return problem;
  }
  if (settings.init_mapping && !settings.output.empty()) {
    return "--init-mapping writes census-dhis2.json itself; -o goes without it";
  }
  return sourceDateEpochProblem();
}

int runDhis2(const CommandSettings& settings, FileSystem& files, std::ostream& out,
             std::ostream& errors) {
  if (settings.init_mapping) return runInitDhis2Mapping(files, settings.period, out, errors);
  const Dhis2Request request{
      settings.format == "adx" ? Dhis2Format::kAdx : Dhis2Format::kDataValueSet, settings.period};
  return runDhis2Export(files, request, settings.output, out, errors);
}

void reportOptions(CLI::App& command, CommandSettings& settings) {
  command
      .add_option("-o,--output", settings.output,
                  "Write to FILE, not census-report.html; - for standard output")
      ->type_name("FILE")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void importOptions(CLI::App& command, CommandSettings& settings) {
  command.add_flag("--dry-run", settings.dry_run, "Check and report, but write nothing");
  command.add_option("file", settings.input, "The CSV file, or - for standard input")
      ->type_name("FILE|-")
      ->required();
}

void serveOptions(CLI::App& command, CommandSettings& settings) {
  command
      .add_option("--port", settings.port,
                  "Listen on port N of 127.0.0.1 (default " + std::to_string(kDefaultServePort) +
                      "; 0 for any free one)")
      ->type_name("N")
      ->check(CLI::Range(0, 65535).description(""))
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  command.add_flag("--open", settings.open_browser, "Open the address in your browser");
}

void historyOptions(CLI::App& command, CommandSettings& settings) {
  command.add_option("--format", settings.format, "text (the default) or json")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"text", "json"}))
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  command.add_flag("--start", settings.start_history,
                   "Start keeping a history here (census-history/)");
  command.add_option("file", settings.history_file, "Only the saves of this data file")
      ->type_name("FILE");
}

void restoreOptions(CLI::App& command, CommandSettings& settings) {
  command.add_flag("--dry-run", settings.dry_run, "Say what would change, but write nothing");
  command
      .add_option("number", settings.save_number,
                  "The save to undo, as 'census history' numbers it")
      ->type_name("N")
      ->required();
  command.add_option("files", settings.restored_files, "Only these of its files")
      ->type_name("FILE");
}

void pushOptions(CLI::App& command, CommandSettings& settings) {
  command.add_option("url", settings.push_url, "The DHIS2 server, as https://dhis2.example.org")
      ->type_name("URL")
      ->required();
  command.add_flag("--dry-run", settings.dry_run,
                   "Let the server check the values, but store none");
  command
      .add_option("--token-file", settings.token_file,
                  "Sign in with the API token in FILE (readable by you alone)")
      ->type_name("FILE")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  command
      .add_option("--ca-file", settings.ca_file,
                  "Trust the certificate authorities in FILE (PEM), not the system's")
      ->type_name("FILE")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  command
      .add_option("--period", settings.period,
                  "The year of the figures (default: census-dhis2.json's, else this year)")
      ->type_name("YEAR")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  command.add_option("--timeout", settings.timeout, "Give up after N seconds (default 30)")
      ->type_name("N")
      ->check(CLI::Range(1, 600).description(""))
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// pull takes push's options but --dry-run, and --save.
void pullOptions(CLI::App& command, CommandSettings& settings) {
  pushOptions(command, settings);
  command.remove_option(command.get_option("--dry-run"));
  command.add_flag("--save", settings.save,
                   "Write the server's figures into the lists it holds whole (restore undoes it)");
}

struct Streams {
  std::istream& in;
  std::ostream& out;
  std::ostream& errors;
  FileSystem& files;  // recording each save of data files as the command's
  Platform& platform;
  FileSystem& unrecorded;  // the same files, for a recorder of another way
};

// The files as this user's saves of one way are recorded in the history
// where one is kept.
RecordingFileSystem recorderOf(FileSystem& files, SaveWay way) {
  return RecordingFileSystem(files, way, operatingSystemUser(), [] { return std::time(nullptr); });
}

int usageError(std::ostream& errors, const std::string& problem) {
  errors << "census: " << problem << "\nRun 'census --help' for more information.\n";
  return kExitUsage;
}

// Where the file named with -o is one census keeps, why it may not be written.
std::string outputProblem(const CommandSettings& settings, Streams& streams) {
  if (settings.output.empty() || settings.output == "-") return "";
  return ownFileProblem(streams.files, settings.output);
}

// One command of the command line: a name, a line of help, its options, and
// what it runs once the whole command line has been read.
struct Command {
  const char* name;
  const char* help;
  SaveWay way;  // how its saves of data files are recorded
  void (*addOptions)(CLI::App& command, CommandSettings& settings);
  int (*run)(const CommandSettings& settings, Streams& streams);
};

constexpr std::array kCommands = {
    Command{"check", "Check the data files and say where each problem is; change nothing",
            SaveWay::kDialogue, noOptions,
            [](const CommandSettings&, Streams& s) { return runCheck(s.files, s.out, s.errors); }},
    Command{"export", "Write the figures as CSV or JSON, or for DHIS2 as a data value set or ADX",
            SaveWay::kDialogue, exportOptions,
            [](const CommandSettings& settings, Streams& s) {
              if (const std::string problem = outputProblem(settings, s); !problem.empty()) {
                return usageError(s.errors, problem);
              }
              if (const std::string problem = dhis2Problem(settings); !problem.empty()) {
                return usageError(s.errors, problem);
              }
              useBinaryStandardOutput();
              if (settings.format == "dhis2" || settings.format == "adx") {
                return runDhis2(settings, s.files, s.out, s.errors);
              }
              return runExport(s.files,
                               settings.format == "json" ? ExportFormat::kJson : ExportFormat::kCsv,
                               settings.output, s.out, s.errors);
            }},
    Command{"import", "Replace the population files of the lists a CSV file holds, all or nothing",
            SaveWay::kImport, importOptions,
            [](const CommandSettings& settings, Streams& s) {
              useBinaryStandardInput();
              return runImport(s.files, settings.input, settings.dry_run, s.in, s.out, s.errors);
            }},
    Command{"report", "Write one HTML page of tables, charts and problems, to view or print",
            SaveWay::kDialogue, reportOptions,
            [](const CommandSettings& settings, Streams& s) {
              if (const std::string problem = sourceDateEpochProblem(); !problem.empty()) {
                return usageError(s.errors, problem);
              }
              if (const std::string problem = outputProblem(settings, s); !problem.empty()) {
                return usageError(s.errors, problem);
              }
              if (settings.output == "-") useBinaryStandardOutput();
              return runReport(s.files, settings.output, s.out, s.errors);
            }},
    Command{"push", "Send the figures to a DHIS2 server and say what it made of them",
            SaveWay::kPush, pushOptions,
            [](const CommandSettings& settings, Streams& s) {
              if (const std::string problem = periodProblem(settings.period); !problem.empty()) {
                return usageError(s.errors, problem);
              }
              const PushRequest request{
                  settings.push_url, settings.dry_run, settings.token_file,
                  settings.ca_file,  settings.period,  std::chrono::seconds(settings.timeout)};
              return runPush(s.unrecorded, request, postToWeb, operatingSystemUser(), s.out,
                             s.errors);
            }},
    Command{"pull",
            "Read the figures a DHIS2 server holds and say where they differ from the lists",
            SaveWay::kPull, pullOptions,
            [](const CommandSettings& settings, Streams& s) {
              if (const std::string problem = periodProblem(settings.period); !problem.empty()) {
                return usageError(s.errors, problem);
              }
              const PullRequest request{
                  settings.push_url, settings.save,   settings.token_file,
                  settings.ca_file,  settings.period, std::chrono::seconds(settings.timeout)};
              return runPull(s.files, request, postToWeb, s.out, s.errors);
            }},
    Command{"serve", "Enter, correct and review the figures in a browser, on this machine only",
            SaveWay::kServe, serveOptions,
            [](const CommandSettings& settings, Streams& s) {
              RecordingFileSystem restoring = recorderOf(s.unrecorded, SaveWay::kRestore);
              return runServe(s.files, restoring, s.platform, settings.port, settings.open_browser,
                              s.errors);
            }},
    Command{"history", "List the saves kept in census-history/, newest first, and what changed",
            SaveWay::kDialogue, historyOptions,
            [](const CommandSettings& settings, Streams& s) {
              return runHistory(s.files, settings.history_file, settings.format == "json",
                                settings.start_history, s.out, s.errors);
            }},
    Command{"restore", "Put the files back as they were before a save, as a save of its own",
            SaveWay::kRestore, restoreOptions,
            [](const CommandSettings& settings, Streams& s) {
              return runRestore(s.files, settings.save_number, settings.restored_files,
                                settings.dry_run, s.out, s.errors);
            }},
};

// A command whose output could not be written has failed, whatever it found.
// The stream writes nothing more after its first failure, so errno still
// holds that failure's reason.
int reportWriteError(int status, std::ostream& out, std::ostream& errors) {
  if (out.flush()) return status;
  errors << "census: write error: " << errorText(errno == 0 ? EIO : errno) << "\n";
  return kExitFailure;
}

// What the library lets pass but census does not: an option given twice, or
// a file named by an empty word. Returns the problem, or "".
std::string problemOfParsedOptions(const CLI::App& app) {
  std::vector<const CLI::App*> parsed = {&app};
  for (const CLI::App* sub : app.get_subcommands()) parsed.push_back(sub);
  for (const CLI::App* command : parsed) {
    for (const CLI::Option* option : command->get_options()) {
      if (option->get_expected_min() == 0) continue;  // a flag
      // A list of files is given as several words, one option.
      if (option->count() > 1 && option->get_items_expected_max() <= 1) {
        return "option " + option->get_name() + " given more than once";
      }
      if (option->count() == 1 && option->as<std::string>().empty()) {
        return "option " + option->get_name() + " needs a name, not an empty word";
      }
    }
  }
  return "";
}

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                   std::ostream& errors, Platform& platform, FileSystem& files) {
  if (arguments.size() > 1 &&
      std::find(arguments.begin(), arguments.end(), "--version") != arguments.end()) {
    return usageError(errors, "--version takes no other argument");
  }
  CLI::App app{"census: record and review population figures of Nigerian states.", "census"};
  // A path such as /tmp/x.csv is a path on every platform, never an option.
  app.allow_windows_style_options(false);
  app.footer(helpFooter());
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  app.set_version_flag("--version", std::string(kVersionText));
  std::string directory;
  app.add_option("-C", directory, "Run as if started in DIR: read and save every file there")
      ->type_name("DIR")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.require_subcommand(0, 1);
  CommandSettings settings;
  std::vector<std::pair<CLI::App*, const Command*>> commands;
  for (const Command& command : kCommands) {
    CLI::App* sub = app.add_subcommand(command.name, command.help)->group("Commands");
    command.addOptions(*sub, settings);
    commands.emplace_back(sub, &command);
  }

  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ExtrasError& error) {
    const std::string what = error.what();
    return usageError(errors, "unexpected argument: " + what.substr(what.find(": ") + 2));
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      app.exit(error, out, errors);
      return kExitSuccess;
    }
    return usageError(errors, error.what());
  }
  if (const std::string problem = problemOfParsedOptions(app); !problem.empty()) {
    return usageError(errors, problem);
  }

  if (app.count("-C") > 0) {
    std::string reason;
    if (!changeDirectory(directory, &reason)) {
      // As typed: a Windows path's backslashes are its separators, not escapes.
      errors << "census: cannot change to folder '" << safeForScreen(directory) << "': " << reason
             << "\n";
      return kExitUsage;
    }
  }
  files.recoverSaves();
  // Every save of data files is recorded where a history is kept, with the
  // way of the command that made it.
  for (const auto& [sub, command] : commands) {
    if (!sub->parsed()) continue;
    RecordingFileSystem recording = recorderOf(files, command->way);
    Streams streams{in, out, errors, recording, platform, files};
    return reportWriteError(command->run(settings, streams), out, errors);
  }
  RecordingFileSystem recording = recorderOf(files, SaveWay::kDialogue);
  return runCensus(in, out, errors, platform, recording);
}

}  // namespace census

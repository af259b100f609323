// The subcommands of tolmek. Each takes the arguments after its own name
// and returns the process exit code: 0 success, 1 failure of the work
// itself, 2 a usage error or an input that cannot be used.
#ifndef TOLMEK_TOOL_COMMANDS_H
#define TOLMEK_TOOL_COMMANDS_H

int command_decode(int argc, char **argv);
int command_tags(int argc, char **argv);
int command_sql(int argc, char **argv);
int command_text(int argc, char **argv);

#endif

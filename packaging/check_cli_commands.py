#!/usr/bin/env python3
"""Every ecg-cli sub-command and option that `ecg-cli --help` lists is offered
by the bash completion and named in the manual page, each as the heading of its
own entry there, and the completion offers no sub-command the program does not have.

Usage: check_cli_commands.py ECG_CLI COMPLETION_SCRIPT MANUAL_PAGE(.1 or .1.gz)
"""
import gzip
import re
import subprocess
import sys

GROUPS = ("device", "firmware")  # commands that take a sub-command


def commands_from_help(help_text):
    """{'device info': {'--link', '--json'}, 'info': {'--json'}, ...}"""
    body = help_text.split("Commands:", 1)[1].split("\nOptions:", 1)[0]
    commands, current = {}, None
    for line in body.splitlines():
        entry = re.match(r"^  ([a-z][a-z-]*)(?: ([a-z][a-z-]*))?", line)
        if entry:
            words = entry.group(1)
            if words in GROUPS:
                words += " " + entry.group(2)
            current = commands.setdefault(words, set())
        if current is not None:
            current.update(re.findall(r"--[a-z][a-z-]*", line))
    return commands


def complete(script, words):
    """What the completion offers for the last (empty) word after `words`."""
    line = " ".join(["ecg-cli", *words, ""])
    program = f"""
source '{script}'
COMP_WORDS=(ecg-cli {' '.join(words)} "")
COMP_CWORD={len(words) + 1}
COMP_LINE='{line}'
_ecg_cli
printf '%s\\n' "${{COMPREPLY[@]}}"
"""
    out = subprocess.run(["bash", "-c", program], capture_output=True, text=True, check=True).stdout
    return set(out.split())


def complete_options(script, words):
    program = f"""
source '{script}'
COMP_WORDS=(ecg-cli {' '.join(words)} --)
COMP_CWORD={len(words) + 1}
_ecg_cli
printf '%s\\n' "${{COMPREPLY[@]}}"
"""
    out = subprocess.run(["bash", "-c", program], capture_output=True, text=True, check=True).stdout
    return set(out.split())


def main():
    cli, script, page = sys.argv[1:4]
    help_text = subprocess.run([cli, "--help"], capture_output=True, text=True, check=True).stdout
    opener = gzip.open if page.endswith(".gz") else open
    with opener(page, "rt") as f:
        manual = f.read().replace("\\-", "-")
    commands = commands_from_help(help_text)
    faults = []
    if len(commands) < 5:
        faults.append(f"could not read the commands from --help: {sorted(commands)}")

    top_level = {c.split()[0] for c in commands}
    offered = complete(script, []) - {"--help", "--version"}
    for name in sorted(top_level - offered):
        faults.append(f"completion does not offer the command '{name}'")
    for name in sorted(offered - top_level):
        faults.append(f"completion offers '{name}', which ecg-cli --help does not list")
    for group in GROUPS:
        subs = {c.split()[1] for c in commands if c.startswith(group + " ")}
        offered_subs = complete(script, [group])
        if subs != offered_subs:
            faults.append(f"'{group}' sub-commands: --help lists {sorted(subs)}, completion offers {sorted(offered_subs)}")

    for command, options in sorted(commands.items()):
        missing = options - complete_options(script, command.split())
        if missing:
            faults.append(f"completion of '{command}' lacks {sorted(missing)}")
        if not re.search(r"\b" + re.escape(command) + r"\b", manual):
            faults.append(f"manual page does not name '{command}'")
        # A usage that --help wraps over lines help2man cannot join shows in the
        # manual page as loose paragraphs instead of one entry with its text.
        elif not re.search(r"^\.TP\n" + re.escape(command) + r"\b", manual, re.M):
            faults.append(f"manual page has no entry headed '{command}'")

    for fault in faults:
        print(fault, file=sys.stderr)
    print(f"{len(commands)} commands checked")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

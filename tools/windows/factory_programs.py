"""The factory programs as vorlak-render lists them, for the Windows build's scripts."""
import subprocess


def program_names(render_command):
    """Number to name, from `--list-programs` of the render tool run by this command."""
    listing = subprocess.run(render_command + ["--list-programs"], capture_output=True,
                             text=True, check=True).stdout
    names = {}
    for line in listing.splitlines():
        number, _, name = line.strip().partition("  ")
        names[int(number)] = name.strip()
    return names


def program_range(text):
    """"0-63" or "5" as the programs it names."""
    first, _, last = text.partition("-")
    return range(int(first), int(last or first) + 1)

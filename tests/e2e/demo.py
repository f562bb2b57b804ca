#!/usr/bin/env python3
"""A demonstration uninstall under Wine (run by tools/demo).

Stages an installation of the layout in a throwaway Wine prefix, shows the state, starts the
installed uninstaller as Windows does (from its product folder, with the layout key as its only
argument), shows every message box and window it opened, and the state afterwards.

  --auto             the box driver answers Yes and OK to everything (always so without a display)
  (default)          with a display ($DISPLAY) the person answers the boxes; the driver records
  --screenshot FILE  a PNG of the screen while the first question (the confirmation) is open
  --arch win32       a 32-bit Windows prefix instead of a 64-bit one
  --key KEY          the argument to pass (default: the installed layout's key)
"""
import argparse
import os
import shutil
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description="Demonstration uninstall under Wine.")
    parser.add_argument("--build", required=True, help="the windows preset's build folder")
    parser.add_argument("--arch", choices=sorted(harness.ARCHES), default="win64")
    parser.add_argument("--auto", action="store_true")
    parser.add_argument("--screenshot", metavar="FILE")
    parser.add_argument("--key", default=harness.DEFAULT_INSTALLATION["key"])
    options = parser.parse_args()

    build = os.path.abspath(options.build)
    arch = harness.ARCHES[options.arch]
    work = os.path.join(build, "demo")
    locale = os.path.join(build, "locale")
    exe = os.path.join(build, "Uninstall_Quillmap.exe")
    driver = os.path.join(build, "tests", "boxdriver.exe")
    person = bool(os.environ.get("DISPLAY")) and not options.auto
    if not options.auto and not person:
        print("No display: the box driver answers Yes and OK to everything (as with --auto).")

    print("Preparing a %s Wine prefix ..." % ("64-bit" if arch.wow64 else "32-bit"))
    pristine = os.path.join(work, "pristine-" + arch.name)
    harness.make_pristine(pristine, arch, locale)
    prefix = harness.Prefix(os.path.join(work, "run-" + arch.name), arch)
    harness.copy_prefix(pristine, prefix.path)
    key = options.key
    harness.stage(prefix, {"key": harness.DEFAULT_INSTALLATION["key"]}, exe)
    before = harness.state(prefix, harness.DEFAULT_INSTALLATION["key"])
    print("\nThe installation, as the installer left it (prefix %s):" % prefix.path)
    print(harness.describe_state(before))

    print('\nStarting "%s\\%s" %s' % (arch.product, harness.PROGRAM_FILE, key))
    print("The boxes are answered %s.\n" % (
        "by you, on your display" if person else "by the box driver: Yes and OK to everything"))
    screenshot = os.path.abspath(options.screenshot) if options.screenshot else None
    records = harness.run_program(
        prefix, driver, locale, os.path.join(work, "wine-%s.log" % arch.name), args=key,
        mode="watch" if person else "auto", screenshot=screenshot, timeout=600 if person else 60,
        display=os.environ["DISPLAY"] if person else None)
    print("What happened on the screen:")
    print(harness.describe(records))

    after = harness.state(prefix, harness.DEFAULT_INSTALLATION["key"])
    print("\nThe state afterwards (* marks a change):")
    for name, value in after.items():
        mark = "*" if before.get(name) != value else " "
        print(mark + harness.describe_state({name: value})[1:])
    if screenshot:
        if os.path.exists(screenshot):
            print("\nScreenshot with the confirmation open: %s" % screenshot)
        else:
            print("\nNo question was shown, so no screenshot was taken.")
    shutil.rmtree(prefix.path, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

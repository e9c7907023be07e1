"""Banner, help, argument grammar, both menus and exit codes of the real program."""
import pytest

from texts import (BANNER, DEBUG_DISABLED, DEBUG_ENABLED, EXPERT_MENU, HELP, MAIN_MENU,
                   NOT_SUPPORTED, error_report)

M, E = MAIN_MENU, EXPERT_MENU


@pytest.mark.parametrize("arg", ["-h", "/help", "-?", "xhelp", "\u00e9h"])
def test_help_is_byte_exact_and_exits_zero(wine, arg):
    out = wine.run(arg, stdin=b"1")
    assert out.stdout == (BANNER + HELP).replace("\n", "\r\n").encode("ascii")
    assert out.exit_code == 0


@pytest.mark.parametrize("args", [
    ["-H"], ["-HELP"], ["-"], ["-run"], ["-run", ""], ["", "x.zip"], ["-help", "extra"],
    ["-run", "a", "b"], ["-repairinfcache", "x"], ["-" + "h" * 30000],
    ["-\u00e9\u4e2d"], ["{U+D800}"], ["-help{U+DC00}"],
])
def test_anything_else_leads_to_the_menu(wine, args):
    out = wine.run(*args, stdin=b"q")
    assert out.text == BANNER + M
    assert out.exit_code == 0


def test_main_menu_keys_typed_ahead(wine, tmp_path):
    out = wine.run(stdin=b"12\r\n34z\xff\x80\r\nx", cwd=tmp_path)
    missing = error_report(0xE001003D)  # no logging configuration in the current directory
    assert out.text == (BANNER + M + missing + M + DEBUG_ENABLED + M + missing + M
                        + DEBUG_DISABLED + M + ("\n" + M) * 3)
    assert out.exit_code == 0


@pytest.mark.parametrize("key", [b"3", b"9"])
def test_expert_action_keys_return_to_the_main_menu(wine, key):
    out = wine.run(stdin=b"6" + key + b"q")
    # No suite here: the configuration module's folder is not found.
    assert out.text == BANNER + M + E + error_report(0xE0010013) + M


def test_expert_back_and_unlisted_keys(wine):
    out = wine.run(stdin=b"65" b"66" b"67" b"6q" b"6Q" b"6x" b"6X" b"6\xfe0\n5" b"Q")
    assert out.text == BANNER + M + (E + M) * 7 + E + ("\n" + E) * 2 + M
    assert out.exit_code == 0


@pytest.mark.parametrize("stdin", [None, b"", b"\r\n", b"6"])
def test_end_of_input_ends_the_menus(wine, stdin):
    out = wine.run(stdin=stdin)
    expected = BANNER + M + (E if stdin == b"6" else "")
    assert out.text == expected
    assert out.exit_code == 0


def test_repair_gives_its_code(wine):
    out = wine.run("-repairinfcache", stdin=b"q")  # Wine reports Windows 7 by default
    assert out.text.startswith(BANNER) and "\nChecking OS version...failed.\n" in out.text
    assert out.exit_code == NOT_SUPPORTED


def test_run_to_an_unusable_name_gives_the_copy_code(wine):
    out = wine.run("/run", "{U+D800}\\:", stdin=b"q")
    assert out.text.startswith(BANNER + "Enabling debug privilege...")
    assert out.text.endswith("Please provide it to your Technical Support contact.\n")
    assert out.exit_code >= 0x80000000

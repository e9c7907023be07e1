"""The suite's own modules, stood in for by the testbed: the firewall service made
stoppable through the configuration module, and the firewall state read from the
communication module into "wddump.txt"."""
import pytest

from texts import MAIN_MENU

SUPPORT = "\n\nPlease provide it to your Technical Support contact.\n"
TREE = "qorcommx-tree.txt"


def program_file(session, name):
    return session.drive_c(session.build.program_files + "\\QOR\\Firewall\\" + name)


def fresh(path):
    path.unlink(missing_ok=True)
    return path


def result_line(code):
    signed = code - (1 << 32) if code & 0x80000000 else code
    return f"Operation result code: {signed} (0x{code:x})\r\n"


@pytest.mark.parametrize("key, value, word", [(b"3", 0, "unstoppable"), (b"9", 1, "stoppable")])
def test_expert_keys_write_the_value_and_commit(suite, key, value, word):
    calls = fresh(program_file(suite, "qorcfgx-calls.txt"))
    out = suite.run(stdin=b"6" + key + b"q")
    assert out.exit_code == 0
    assert f"\nFirewall service is {word}." + MAIN_MENU in out.text
    assert calls.read_text() == (
        "init\nget-object2 16\nopen-node bc1f3a41 0\n"
        f"set-bool 69bef1a6 {value}\ncommit 0 1 0\n"
        "release node\nrelease configuration\nfinish\n")


def test_a_failing_module_step_is_reported_and_ends_the_action(suite):
    calls = fresh(program_file(suite, "qorcfgx-calls.txt"))
    out = suite.with_env(QOR_TESTBED_CFG_ANSWER="fail-set").run(stdin=b"63q")
    assert "Error caught:\nQorFwDiag error: e0010058" + SUPPORT + MAIN_MENU in out.text
    assert "Firewall service is" not in out.text
    assert "commit" not in calls.read_text()


def test_without_the_suite_the_lookups_error(without_suite):
    _, session = without_suite
    out = session.run(stdin=b"69q")
    assert "Error caught:\nQorFwDiag error: e0010013" + SUPPORT + MAIN_MENU in out.text


LINES = ("FW state {fw}, RS state 4, IDP state 2\r\nFW flags 3\r\n"
         "Active area {area}, GUID {{6A3F2C10-0B7E-4C1D-9E55-0D2B8F1A7C42}}, FPS 2\r\n")
TIMEOUT = 0xC00705B4


@pytest.mark.parametrize("tree, outcome, text, code", [
    ("", "OK", LINES.format(fw=1, area="Home"), 0),
    ("/Components/FW/State|5|-7\n/Components/FW/ActiveArea|12|\n",
     "OK", LINES.format(fw=-7, area=""), 0),
    ("/Components/FW/ActiveArea|12|ab|unterminated\n/Components/RS/State|5|4|read-pending\n"
     "/Components/FW/Flags|6|3|read-lost\n",
     "OK", LINES.format(fw=1, area="ab" * 130), 0),
    ("/Components/IDP/State|missing|\n", "Failed", "", 0xE001004C),
    ("/Components/RS/State|5|4|read-stuck\n", "Failed", "", TIMEOUT),
    ("/Components/FW/Flags|6|3|open-stuck\n", "Failed", "", TIMEOUT),
], ids=["defaults", "negative-state-empty-area", "transient-and-unterminated",
        "missing-idp-state", "read-never-answered", "open-never-answered"])
def test_firewall_state_dump(suite, tmp_path, tree, outcome, text, code):
    tree_file = fresh(program_file(suite, TREE))
    if tree:
        tree_file.write_text(tree)
    try:
        out, (dump,) = suite.package(tmp_path / "package.zip", "wddump.txt")
    finally:
        tree_file.unlink(missing_ok=True)
    assert f"\nWD values...{outcome}\n" in out
    assert dump == text + result_line(code)

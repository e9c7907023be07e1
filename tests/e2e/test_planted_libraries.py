"""A copy of the program saved where others can write (a Downloads folder) loads nothing
planted beside it: not the engine client, the suite's modules nor the system libraries it
loads itself. Each planted library records its load in "planted-loads.txt"."""
import shutil
import uuid

import pytest

PLANTED = ("qorclitx", "qorlogx", "qorcfgx", "qorcommx", "qorselfp", "iphlpapi", "rasapi32",
           "psapi")
RECORD = "planted-loads.txt"


def planted_copy(session, parent, names=PLANTED):
    """The program in a new folder under `parent`, the planted library beside it as each name."""
    folder = session.drive_c(parent + "\\" + uuid.uuid4().hex[:8])
    folder.mkdir(parents=True)
    shutil.copy(session.build.exe, folder)
    for name in names:
        shutil.copy(session.build.testbed / "planted.dll", folder / f"{name}.dll")
    return folder / session.build.exe.name


@pytest.mark.parametrize("installed", ["suite", "wine"])
def test_run_and_menus_load_nothing_planted(request, build, installed, tmp_path):
    session = request.getfixturevalue(installed)  # of `build`
    program = planted_copy(session, "C:\\Users\\Public\\Downloads")
    # The current folder is the planted one too, as when the copy is started from Explorer.
    session.package(tmp_path / "package.zip", program=program, cwd=program.parent)
    out = session.run_program(program, stdin=b"163q", cwd=program.parent)
    assert out.exit_code == 0
    assert "Enable app debug logging" in out.text
    assert not (program.parent / RECORD).exists(), (program.parent / RECORD).read_text()


def test_a_program_files_folder_its_user_may_change_is_not_trusted(wine):
    """Wine reports every folder as owned and writable by its user, as a vendor folder opened
    to users would be: the logging module beside the program is not loaded."""
    program = planted_copy(wine, "C:\\Program Files\\QorTool", names=("qorlogx",))
    out = wine.run_program(program, stdin=b"q", cwd=program.parent)
    assert out.exit_code == 0
    assert not (program.parent / RECORD).exists(), (program.parent / RECORD).read_text()

"""The logs, configuration, INF files and catalog log that the package gathers from the
testbed prefix. (The reduced set of logs has no front-end path; the host tests cover it.)"""
import zipfile

import pytest

LOG_FOLDER = "logs/C__ProgramData_QOR_Firewall_log/"


@pytest.fixture
def package(suite_package):
    return suite_package.text, suite_package.files


def test_the_gathering_steps_succeed(package):
    text, _ = package
    for step in ("Configuration (private)...", "Logs...", "INF files...", "CatDB log..."):
        assert f"{step}OK\n" in text


def test_product_logs_land_in_their_mangled_folder(package):
    _, contents = package
    product = {name[len(LOG_FOLDER):] for name in contents if name.startswith(LOG_FOLDER)}
    assert product == {"fw.log", "fw.log.1", "fwlog.cfg", "privlog.cfg", "publog.cfg", "tdilog.cfg"}
    assert contents[LOG_FOLDER + "fw.log"] == b"firewall started\r\n"


def test_each_users_log_folder_has_its_own_sub_folder(package, suite):
    _, contents = package
    users = [p.parents[2].name
             for p in suite.prefix.glob("drive_c/users/*/AppData/Local/Qor2014")]
    assert users
    for user in users:
        name = f"logs/C__users_{user}_AppData_Local_Qor2014_log/user.log"
        assert contents[name] == b"user started\r\n", sorted(contents)


def test_configuration_inf_files_and_catalog_log(package):
    _, contents = package
    assert {n for n in contents if n.startswith("cfgs/")} == {"cfgs/privlog.cfg"}
    assert {n for n in contents if n.startswith("infs/")} == {"infs/oem7.inf", "infs/oem8.inf"}
    assert contents["catdberr.txt"] == b"catalog error\r\n"


def test_without_the_suite_only_the_system_files_come(without_suite, tmp_path):
    _, session = without_suite
    target = tmp_path / "pkg.zip"
    out = session.run("-run", str(target), stdin=None)
    assert out.exit_code == 0
    assert "Configuration (private)...Failed\n" in out.text
    for step in ("Logs...", "INF files...", "CatDB log..."):
        assert f"{step}OK\n" in out.text
    with zipfile.ZipFile(target) as archive:
        names = [n.replace("\\", "/") for n in archive.namelist()]
    files = [n for n in names if not n.endswith("/")]
    assert not [n for n in files if n.startswith(("cfgs/", "infs/", "logs/C__"))]
    assert "catdberr.txt" not in names

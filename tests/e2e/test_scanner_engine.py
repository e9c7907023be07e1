"""The scanner engine's version in the package: the testbed's engine client library in the
suite's program folder answers as the registry value "EngineAnswer" says; the Unix time
zone (TZ) sets Wine's local time zone."""
import shutil

import pytest

CALLS = "qorclitx-calls.txt"
ALL_CALLS = ["load", "create QorFwCoreSdkNoDelayed 0", "query 0", "query 0", "query 1",
             "release"]


def line(kind, load_result, version, time):
    return f"AVI type:{kind}, loadResultErr:{load_result}, version:{version}, time:{time}\r\n"


def lines(clock, zone):
    """The stand-in's three records with the local clock "HH:MM" and the zone text."""
    return [line(1, "0x0", 101, f"2024-01-15T{clock}:00{zone}"),
            line(1, "0x0", 102, f"2024-01-15T{clock}:01{zone}"),
            line(2, "0x8007007e", 103, f"2024-01-15T{clock}:02{zone}")]


def run_package(session, tmp_path, cwd=None):
    """Console text, the dump's text and the calls the installed stand-in got."""
    calls = session.drive_c(session.build.program_files + "\\QOR\\Firewall") / CALLS
    calls.unlink(missing_ok=True)
    text, (dump,) = session.package(tmp_path / "pkg.zip", "aviversion.txt", cwd=cwd)
    made = calls.read_text().splitlines() if calls.exists() else []
    return text, dump, made


@pytest.mark.parametrize("zone, clock, text", [
    ("UTC", "12:00", "Z"),
    ("Etc/GMT-1", "13:00", "+01:00"),   # an hour east
    ("XWT0:30", "11:30", "-00:30"),     # half an hour west: the sign stays
])
def test_three_lines_in_the_local_time_zone(suite, tmp_path, zone, clock, text):
    out, dump, calls = run_package(suite.with_env(TZ=zone), tmp_path)
    assert "AVI version...OK\n" in out
    assert dump == "".join(lines(clock, text))
    assert calls == ALL_CALLS


@pytest.mark.parametrize("answer, kept, calls", [
    ("fail-create", 0, ALL_CALLS[:2]),
    ("null-instance", 0, ALL_CALLS[:2]),
    ("fail-second-query", 0, ALL_CALLS[:4] + ["release"]),
    ("zero-time", 2, ALL_CALLS),
])
def test_failing_engine(suite, tmp_path, answer, kept, calls):
    with suite.testbed_answer("EngineAnswer", answer):
        out, dump, made = run_package(suite.with_env(TZ="UTC"), tmp_path)
    assert "AVI version...Failed\nWFP info" in out
    assert dump == "".join(lines("12:00", "Z")[:kept])
    assert made == calls


def test_planted_libraries_are_never_loaded(suite, tmp_path):
    """Copies on the search path and in the current directory stay untouched; the one in
    the installation directory answers."""
    stand_in = suite.build.testbed / "qorclitx.dll"
    on_path, current = tmp_path / "on_path", tmp_path / "current"
    for folder in (on_path, current):
        folder.mkdir()
        shutil.copy(stand_in, folder)
    session = suite.with_env(TZ="UTC", WINEPATH=f"Z:{on_path}".replace("/", "\\"))
    out, dump, calls = run_package(session, tmp_path, cwd=current)
    assert "AVI version...OK\n" in out
    assert calls == ALL_CALLS
    assert not (on_path / CALLS).exists() and not (current / CALLS).exists()

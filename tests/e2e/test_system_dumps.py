"""The process list, system information and active connections dumps of a real run."""
import re
import subprocess
import time

PORT = 47811


def start_listener(session, output):
    """The testbed listener on PORT; its Windows process identifier once it listens."""
    listener = session.build.testbed / "listener.exe"
    proc = subprocess.Popen([session.build.loader, str(listener), str(PORT), "90"],
                            stdout=output, stderr=subprocess.DEVNULL, env=session.env)
    for _ in range(300):
        output.seek(0)
        line = output.read().decode("ascii", "replace").strip()
        if line:
            return proc, int(line)
        assert proc.poll() is None, "the listener ended early"
        time.sleep(0.1)
    proc.kill()
    raise AssertionError("the listener did not start")


def test_system_dumps_in_the_package(suite, tmp_path):
    with open(tmp_path / "listener.out", "w+b") as output:
        listener, listener_pid = start_listener(suite, output)
        try:
            out, (processes, system, connections) = suite.package(
                tmp_path / "package", "procdmp.txt", "sysdump.txt", "condump.txt")
        finally:
            listener.kill()
            listener.wait()
    # Wine's regedit reports a missing key on the shared console, amid the transcript.
    text = re.sub(r"regedit: [^\n]*\n", "", out)
    for ok in ("Processes...OK\n", "System info...OK\n", "Active connections...OK\n"):
        assert ok in text, text

    # The tool itself, with its image path in Win32 and device form.
    own = re.search(r"\r\n(\d+):\r\n-{10}\r\n([A-Z]:\\[^\r]*\\qorfwdiag\.exe)\r\n(.*)\r\n"
                    r"qorfwdiag\.exe\r\n(.*)\r\n(.*)\r\n={11}\r\n\r\n", "\r\n" + processes)
    assert own, processes[:2000]
    assert own.group(5) == own.group(2)
    assert own.group(3).lower().endswith("\\qorfwdiag.exe")

    lines = system.split("\r\n")
    computer = suite.env.get("COMPUTERNAME") or wine_computer_name(suite)
    # A 64-bit Windows for the 64-bit build; the 32-bit build runs on a 32-bit one.
    platform = "AMD64" if suite.build.is64 else "x86"
    assert lines[1].startswith(f"Platform {platform}, CPUs "), lines[1]
    assert re.fullmatch(r"User [^,]+, Computer " + re.escape(computer), lines[2]), lines[2]
    assert "\r\nFound a device: " in system and "\r\nPaths:" in system
    assert re.search(r"\r\n\r\nLocal time: \w{3}, \d\d \w{3} \d{4} \d\d:\d\d:\d\d [+-]\d{4}\r\n"
                     r"System time: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3}\r\n$", system), system

    # Wine 8 reports owner 0 for the listener of a Wine process; the state and port are real.
    listen = re.search(r"#(\d+) @MIB_TCP_STATE_LISTEN \(2\)\r\n0\.0\.0\.0 : %d\r\n"
                       r"0\.0\.0\.0 : 0\r\n\r\n" % PORT, connections)
    assert listen, connections
    assert int(listen.group(1)) in (listener_pid, 0)


def wine_computer_name(session):
    shown = session.wine("cmd", "/c", "echo %COMPUTERNAME%").stdout.strip().splitlines()
    return shown[-1].strip()

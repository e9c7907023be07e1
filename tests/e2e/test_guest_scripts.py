"""The guest's image script as the test command uses it, with stand-ins for the image tools:
its standard output is the image folder alone, the image is made once and made again when the
package list changes, and the boot script refuses a folder without an image."""
import os
import shutil
import subprocess

from conftest import ROOT

GUEST = ROOT / "scripts" / "guest"

# Stand-ins that write to standard output as the real tools do, and log each call.
MMDEBSTRAP = """#!/bin/sh
echo "I: downloading packages with apt..."
for arg; do case "$arg" in */root) root=$arg ;; esac; done
mkdir -p "$root/boot"
echo kernel > "$root/boot/vmlinuz-6.1.0-1-amd64"
echo initrd > "$root/boot/initrd.img-6.1.0-1-amd64"
echo mmdebstrap >> "$QOR_TOOL_LOG"
"""
MKE2FS = """#!/bin/sh
for arg; do image=$last; last=$arg; done
echo "Creating regular file $image"
: > "$image"
echo mke2fs >> "$QOR_TOOL_LOG"
"""


def tools(tmp_path):
    bin_dir = tmp_path / "bin"
    bin_dir.mkdir()
    for name, text in (("mmdebstrap", MMDEBSTRAP), ("mke2fs", MKE2FS)):
        (bin_dir / name).write_text(text)
        (bin_dir / name).chmod(0o755)
    log = tmp_path / "tools.log"
    env = dict(os.environ, PATH=f"{bin_dir}{os.pathsep}{os.environ['PATH']}",
               QOR_GUEST_CACHE=str(tmp_path / "cache"), QOR_TOOL_LOG=str(log))
    return env, log


def make_image(script, env) -> str:
    made = subprocess.run([str(script)], env=env, capture_output=True, text=True, check=True,
                          timeout=60)
    return made.stdout


def test_image_is_made_once_and_again_for_a_new_package_list(tmp_path):
    guest = tmp_path / "guest"
    shutil.copytree(GUEST, guest)
    env, log = tools(tmp_path)

    first = make_image(guest / "image.sh", env)
    folder = first.strip()
    assert first.splitlines() == [folder], "standard output holds more than the folder"
    assert {p.name for p in (tmp_path / "cache" / os.path.basename(folder)).iterdir()} == {
        "vmlinuz", "initrd.img", "rootfs.img", "ready"}
    assert make_image(guest / "image.sh", env) == first
    assert log.read_text().split() == ["mmdebstrap", "mke2fs"]

    with open(guest / "packages.txt", "a") as packages:
        packages.write("strace\n")
    second = make_image(guest / "image.sh", env).strip()
    assert second != folder and os.path.isfile(os.path.join(second, "ready"))
    assert not os.path.exists(folder), "the image of the old list is kept"
    assert log.read_text().split() == ["mmdebstrap", "mke2fs"] * 2


def test_boot_refuses_a_folder_without_an_image(tmp_path):
    booted = subprocess.run([str(GUEST / "run.sh"), str(tmp_path), "true"], capture_output=True,
                            text=True, check=False, timeout=60)
    assert booted.returncode == 2
    assert "no image" in booted.stderr

"""The operating-system record and its display name under the versions Wine imitates."""
import pytest

W = "Microsoft(R) Windows(R)"

# Wine version setting -> (version, service pack, {product type: name}, predicates
# xp, xp-or-later, server-2003, vista-or-later, 8-or-later). Wine 8 answers "win7" with the
# server product type, so both 6.1 names are listed; the one matching the answer must appear.
CASES = {
    "winxp64": ("5.2.3790.0", "2.0",
                {1: W + " XP Professional x64 Edition, 5.2.3790 Service Pack 2 Build 3790"},
                "11000"),
    "vista": ("6.0.6002.0", "2.0",
              {1: W + " Vista Ultimate Edition (64-bit), 6.0.6002 Service Pack 2 Build 6002"},
              "01010"),
    "win7": ("6.1.7601.0", "1.0",
             {1: W + " 7 (64-bit), 6.1.7601 Service Pack 1 Build 7601",
              3: W + " Server 2008 R2 (64-bit), 6.1.7601 Service Pack 1 Build 7601"},
             "01010"),
    "win81": ("6.3.9600.0", "0.0", {1: W + " 8.1 (64-bit), 6.3.9600  Build 9600"}, "01011"),
    "win10": ("10.0.", "0.0", {1: W + ", 10.0.{build}  Build {build}"}, "01011"),
}
PREDICATES = ("xp", "xporlater", "server2003", "vista", "win8")
# On a 32-bit Windows, 5.2 is the Server 2003 family's version (XP is 5.1 there).
WIN32_CASES = {"winxp64": (W + " Server 2003, 5.2.3790 Service Pack 2 Build 3790", "01000")}


def probe(wine) -> dict:
    out = wine.run_program(wine.build.tests / "os_name_probe.exe")
    fields = dict(line.split("=", 1) for line in out.text.splitlines())
    assert out.exit_code == 0, fields
    return fields


@pytest.mark.parametrize("version", CASES)
def test_record_and_name_follow_the_reported_version(wine, version):
    numbers, service_pack, names, predicates = CASES[version]
    with wine.windows_version(version):
        fields = probe(wine)

    assert (fields["init"], fields["again"], fields["filled"]) == ("0x00000000", "0x00000000", "1")
    assert fields["version"].startswith(numbers) and fields["version"].endswith(".0")
    assert fields["servicepack"] == service_pack
    build = fields["version"].split(".")[2]
    product_type = int(fields["producttype"])
    assert product_type in names, fields
    name = names[product_type].format(build=build)
    if not wine.build.is64:
        name = name.replace(" (64-bit)", " (32-bit)")
        name, predicates = WIN32_CASES.get(version, (name, predicates))
    assert fields["name"] == name

    if wine.build.is64:
        assert fields["class"] == "2" and fields["x64"] == "1"
    else:
        assert fields["class"] == "1" and fields["x64"] == "0"
    assert "".join(fields[p] for p in PREDICATES) == predicates
    assert int(fields["processors"]) >= 1
    assert (fields["pagesize"], fields["granularity"]) == ("4096", "65536")


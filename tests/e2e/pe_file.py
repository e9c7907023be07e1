"""Just enough of the PE format to check what the linker and resource compiler made."""
import struct


class PeFile:
    def __init__(self, data: bytes):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        for i in range(sections):
            entry = optional + optional_size + 40 * i
            size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
            self.sections.append((rva, max(size, raw_size), raw_offset))

    def offset(self, rva: int) -> int:
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"RVA {rva:#x} in no section")

    def _entries(self, directory_rva: int):
        base = self.offset(directory_rva)
        named, ids = struct.unpack_from("<HH", self.data, base + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, base + 16 + 8 * i)
            yield name, target

    def resource(self, type_id: int, name_id: int) -> bytes:
        """The first language's data of resource (type_id, name_id)."""
        root = self.resource_rva
        for rtype, type_dir in self._entries(root):
            if rtype != type_id:
                continue
            for name, name_dir in self._entries(root + (type_dir & 0x7FFFFFFF)):
                if name != name_id:
                    continue
                _, leaf = next(self._entries(root + (name_dir & 0x7FFFFFFF)))
                rva, size = struct.unpack_from("<II", self.data, self.offset(root + leaf))
                start = self.offset(rva)
                return self.data[start:start + size]
        raise KeyError(f"no resource {type_id}/{name_id}")

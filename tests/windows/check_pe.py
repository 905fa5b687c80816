#!/usr/bin/python3
"""Static checks of the Windows DLLs as the host sees them before loading:
machine, the one export, the one imported module, the properties resource byte
for byte, the manifest, and nothing else among the resources.

    check_pe.py --dll64 "OstrelStrata(64bit).aex" --dll32 OstrelStrata.aex

Either file may be given alone; with both, the two properties resources must
also differ in exactly the six bytes that tell the builds apart. On i386 the
unwind tables must be registered by a constructor, since no throw can be run
here to prove it; the mingw-w64 nm of that build is used to find it.
"""

import argparse
import os
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

import pefile

PIPL_RESOURCE_ID = 16000
MANIFEST_RESOURCE_TYPE = 24
MANIFEST_RESOURCE_ID = 2
LANGUAGE_EN_US = 1033


def code(text):
    """A four-character code as stored: a little-endian number whose most
    significant byte is the first character."""
    assert len(text) == 4
    return text.encode("ascii")[::-1]


def counted(text, size):
    data = bytes([len(text)]) + text.encode("ascii")
    return data + bytes(size - len(data))


def terminated(text, size):
    data = text.encode("ascii") + b"\0"
    return data + bytes(size - len(data))


def expected_pipl(is_64bit):
    """The properties resource as the host reads it, written out from the
    property table rather than from our own sources."""
    properties = [
        ("kind", code("eFKT")),
        ("name", counted("OstrelStrata", 16)),
        ("catg", counted("Ostrel", 8)),
        ("8664" if is_64bit else "wx86", terminated("EntryPointFunc", 16)),
        ("ePVR", struct.pack("<hh", 2, 0)),
        ("eSVR", struct.pack("<hh", 13, 0) if is_64bit else struct.pack("<hh", 12, 10)),
        ("eVER", struct.pack("<I", 525825)),
        ("eINF", struct.pack("<h", 0)),  # the length leaves out the padding
        ("eGLO", struct.pack("<I", 0x06000040)),
        ("eGL2", struct.pack("<I", 0x00001400)),
        ("eMNA", counted("OstrelStrata by Marovenka", 28)),
        ("aeFL", struct.pack("<I", 8)),
    ]
    out = struct.pack("<hii", 1, 0, len(properties))
    for key, data in properties:
        out += code("8BIM") + code(key) + struct.pack("<ii", 0, len(data)) + data
        out += bytes(-len(data) % 4)
    return out


class Checker:
    def __init__(self, path):
        self.path = path
        self.failures = []

    def expect(self, condition, message):
        if not condition:
            self.failures.append("%s: %s" % (os.path.basename(self.path), message))
        return condition


def resource_entries(pe):
    """{(type, id): {language: bytes}}; named types and ids as text."""
    entries = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return entries
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        type_key = str(type_entry.name) if type_entry.name is not None else type_entry.id
        for id_entry in type_entry.directory.entries:
            id_key = str(id_entry.name) if id_entry.name is not None else id_entry.id
            languages = entries.setdefault((type_key, id_key), {})
            for language_entry in id_entry.directory.entries:
                data = language_entry.data.struct
                languages[language_entry.id] = pe.get_data(data.OffsetToData, data.Size)
    return entries


def check_manifest(check, text):
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        check.expect(False, "manifest is not well-formed XML: %s" % error)
        return
    v1 = "{urn:schemas-microsoft-com:asm.v1}"
    v3 = "{urn:schemas-microsoft-com:asm.v3}"
    check.expect(root.tag == v1 + "assembly", "manifest root is %s" % root.tag)
    check.expect(root.get("manifestVersion") == "1.0", "manifestVersion is not 1.0")
    check.expect([child.tag for child in root] == [v3 + "trustInfo"],
                 "manifest holds more than the trust information: %s" % [c.tag for c in root])
    levels = root.findall("./%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel"
                          % (v3, v3, v3, v3))
    if check.expect(len(levels) == 1, "manifest has %d execution levels" % len(levels)):
        check.expect(levels[0].attrib == {"level": "asInvoker", "uiAccess": "false"},
                     "execution level is %s" % levels[0].attrib)
    check.expect(len(list(root.iter())) == 5, "manifest holds more elements than the trust information")


def symbol_addresses(nm, path, image_base):
    """Symbol name -> RVA, from the DLL's COFF symbol table."""
    output = subprocess.run([nm, path], check=True, capture_output=True, text=True).stdout
    symbols = {}
    for line in output.splitlines():
        fields = line.split()
        if len(fields) == 3:
            symbols[fields[2]] = int(fields[0], 16) - image_base
    return symbols


def check_unwind_registration(check, pe, nm):
    """i386 unwinds by DWARF tables that must be registered at load: crtend.o's
    constructor does it, so it must be in the constructor list that the entry
    point runs, and the entry point must be ours."""
    symbols = symbol_addresses(nm, check.path, pe.OPTIONAL_HEADER.ImageBase)
    entry = pe.OPTIONAL_HEADER.AddressOfEntryPoint
    check.expect(symbols.get("_DllMainCRTStartup@12") == entry,
                 "the entry point is not _DllMainCRTStartup@12")
    for name in ("___CTOR_LIST__", "_register_frame_ctor", "___gcc_register_frame"):
        if not check.expect(name in symbols, "no %s in the symbol table" % name):
            return
    constructors = []
    rva = symbols["___CTOR_LIST__"] + 4  # past the -1 marker
    while True:
        (address,) = struct.unpack("<I", pe.get_data(rva, 4))
        if address == 0:
            break
        constructors.append(address - pe.OPTIONAL_HEADER.ImageBase)
        rva += 4
    check.expect(symbols["_register_frame_ctor"] in constructors,
                 "the unwind-table registration is not among the constructors")


def check_dll(path, is_64bit, nm32):
    check = Checker(path)
    if not check.expect(os.path.isfile(path), "missing; build it first"):
        return check, None
    pe = pefile.PE(path)

    machine = pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64" if is_64bit else "IMAGE_FILE_MACHINE_I386"]
    check.expect(pe.FILE_HEADER.Machine == machine, "machine 0x%x" % pe.FILE_HEADER.Machine)
    check.expect(pe.OPTIONAL_HEADER.Magic == (0x20B if is_64bit else 0x10B),
                 "optional header magic 0x%x" % pe.OPTIONAL_HEADER.Magic)
    check.expect(pe.is_dll(), "not a DLL")

    # The one export, undecorated, ordinal 1, under the file's own name.
    exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    if check.expect(exports is not None, "no export table"):
        listed = [(symbol.ordinal, symbol.name, symbol.forwarder) for symbol in exports.symbols]
        check.expect(listed == [(1, b"EntryPointFunc", None)], "exports %s" % listed)
        module_name = pe.get_string_at_rva(exports.struct.Name).decode("ascii", "replace")
        check.expect(module_name == os.path.basename(path),
                     "export table names the module %r" % module_name)
        if listed:
            section = pe.get_section_by_rva(exports.symbols[0].address)
            check.expect(section is not None and section.Characteristics & 0x20000000,
                         "EntryPointFunc does not point into code")

    # KERNEL32.dll and nothing else, not even delayed.
    imports = [entry.dll.decode("ascii") for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    check.expect(imports == ["KERNEL32.dll"], "imports %s" % imports)
    check.expect(not hasattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT"), "has delayed imports")

    resources = resource_entries(pe)
    check.expect(sorted(resources, key=str) == sorted([("PIPL", PIPL_RESOURCE_ID),
                                                       (MANIFEST_RESOURCE_TYPE, MANIFEST_RESOURCE_ID)], key=str),
                 "resources %s (a properties resource and a manifest, no version resource)"
                 % sorted(resources, key=str))
    pipl = resources.get(("PIPL", PIPL_RESOURCE_ID), {})
    check.expect(list(pipl) == [LANGUAGE_EN_US], "PIPL languages %s" % list(pipl))
    pipl_bytes = pipl.get(LANGUAGE_EN_US)
    if pipl_bytes is not None:
        wanted = expected_pipl(is_64bit)
        if pipl_bytes != wanted:
            first = next((i for i in range(min(len(wanted), len(pipl_bytes)))
                          if wanted[i] != pipl_bytes[i]), min(len(wanted), len(pipl_bytes)))
            check.expect(False, "PIPL differs from offset %d: %s, wanted %s (%d bytes, wanted %d)"
                         % (first, pipl_bytes[first:first + 16].hex(" "), wanted[first:first + 16].hex(" "),
                            len(pipl_bytes), len(wanted)))
    manifest = resources.get((MANIFEST_RESOURCE_TYPE, MANIFEST_RESOURCE_ID), {})
    check.expect(list(manifest) == [LANGUAGE_EN_US], "manifest languages %s" % list(manifest))
    if LANGUAGE_EN_US in manifest:
        check_manifest(check, manifest[LANGUAGE_EN_US])

    if not is_64bit:
        check_unwind_registration(check, pe, nm32)
    return check, pipl_bytes


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dll64")
    parser.add_argument("--dll32")
    parser.add_argument("--nm32", default="i686-w64-mingw32-nm")
    args = parser.parse_args()
    if not args.dll64 and not args.dll32:
        parser.error("give --dll64, --dll32 or both")

    failures = []
    pipl = {}
    for path, is_64bit in ((args.dll64, True), (args.dll32, False)):
        if path:
            check, pipl[is_64bit] = check_dll(path, is_64bit, args.nm32)
            failures += check.failures
            print("checked %s: %s" % (path, "ok" if not check.failures else "%d problems" % len(check.failures)))

    if pipl.get(True) is not None and pipl.get(False) is not None:
        first, second = pipl[True], pipl[False]
        differing = [i for i in range(min(len(first), len(second))) if first[i] != second[i]]
        # Property 4's key (offsets 90 to 93) and the low bytes of property 6's
        # two numbers (154 and 156).
        if len(first) != len(second) or differing != [90, 91, 92, 93, 154, 156]:
            failures.append("the two PIPL resources differ at %s" % differing)

    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the seed corpus of index_fuzzer into fuzz/corpus/index_fuzzer/.

Small cache indexes of our own, one per shape the reader must handle. Regressions found by the
fuzzer are added to the same folder by hand (named regression-*) and are not made here.
"""
import pathlib

OUT = pathlib.Path(__file__).resolve().parent / "corpus" / "index_fuzzer"

THREE = ["[Cache]", "K1=DM-A.unr", "K2=Pack.u", "K3=Sky.utx"]


def lines(items, end=b"\r\n", final=True):
    data = end.join(s.encode("latin-1") if isinstance(s, str) else s for s in items)
    return data + (end if final else b"")


SEEDS = {
    "three-crlf": lines(THREE),
    "three-cr": lines(THREE, b"\r"),
    "three-lf": lines(THREE, b"\n"),
    "three-no-final-end": lines(THREE, final=False),
    "mixed-ends": b"[Cache]\r\nA=a.unr\rB=b.utx\nC=c.uax\r\n\r\nD=d.umx",
    "empty": b"",
    "section-only": b"[Cache]\r\n",
    "rewritten-empty": b"[Cache]\r\n\r\n",
    "rewritten-system": b"[Cache]\r\nK2=Pack.u\r\n\r\n",
    "many-equals": lines(["[Cache]", "K=a=b.utx", "K=", "=Map.unr", "==", "=", "a==b=c.int"]),
    "no-equals": lines(["[Cache]", "just some text", "[cache]", "[Cache] ", "K1=DM-A.unr"]),
    "destinations": lines(["[Cache]", "a=x.u", "b=x.unr", "c=x.utx", "d=x.uax", "e=x.int",
                           "f=x.umx", "g=X.UNR", "h=a.u", "i=u", "j=.u", "k=readme.txt",
                           "l=NOMORE", "m=after.unr"]),
    "windows-1252": lines(["[Cache]", "K1=Caf\xe9.unr", "K2=\x80uro.utx", "K3=Na\xefve\x99.uax",
                           "K4=\x81\x8d\x8f\x90\x9d.umx", "\xe9\xe9=\xff\xfe.int"]),
    "utf8-bom": b"\xef\xbb\xbf" + lines(["[Cache]", "K1=Caf\xc3\xa9.unr", "K2=\xe2\x82\xac.utx"]),
    "utf8-unmarked": lines(["[Cache]", "K1=DM-D\xc3\xa9j\xc3\xa0Vu.unr", "K2=Pack.u",
                            "K3=\xce\x86\xce\xbb\xcf\x86\xce\xb1.utx", "K4=\xf0\x9f\x98\x80.uax"]),
    # Windows-1252 for its last byte beyond ASCII; the rewrite keeps the first line only.
    "utf8-unmarked-then-1252": lines(["[Cache]", "K1=D\xc3\xa9j\xc3\xa0.unr", "K3=Caf\xe9.utx",
                                      "K2=Pack.u"]),
    "utf8-bom-invalid": b"\xef\xbb\xbf[Cache]\r\nK1=bad\xff\xc3.unr\r\nK2=\xed\xa0\x80.utx\r\n",
    "utf16le-bom": b"\xff\xfe" + "[Cache]\r\nK1=Caf\u00e9.unr\r\nK2=\u20acuro.utx\r\nK3=\U0001F600.u\r\n"
    .encode("utf-16-le"),
    "utf16le-odd-length": b"\xff\xfe" + "[Cache]\r\nK=a.unr".encode("utf-16-le") + b"\x41",
    "utf16le-lone-surrogates": b"\xff\xfe[\x00=\x00\x00\xd8a\x00.\x00u\x00\r\x00\n\x00"
    b"K\x00=\x00\x00\xdcx\x00\x00\xd8",
    "utf16le-bom-twice": b"\xff\xfe\xff\xfe" + "K1=a.unr\r\n".encode("utf-16-le"),
    "nul-bytes": b"[Cache]\r\nK1=DM-A.unr\x00.utx\r\nK2\x00=Sky.utx\r\nK3=\x00\r\n\x00\r\n",
    "hostile-names": lines(["[Cache]", "H0=..\\..\\evil.unr", "H1=../evil.unr", "H2=C:evil.unr",
                            "H3=*.unr", "H4=DM-?.unr", "H5=CON.unr", "H6=nul", "H7=..",
                            "..\\System\\Victim=Steal.unr", "*=Star.unr", "NUL=Device.unr",
                            "H8=a\x01b.unr", "H9=Map.unr.", "H10=Map.unr "]),
    "long-line": b"[Cache]\r\nK" + b"k" * 3000 + b"=" + b"a" * 3000 + b".unr\r\n",
    "only-line-ends": b"\r\n\r\r\n\n\n\r",
    "binary": bytes((i * 37 + 11) % 256 for i in range(512)),
}


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for name, data in SEEDS.items():
        (OUT / f"seed-{name}").write_bytes(data)


if __name__ == "__main__":
    main()

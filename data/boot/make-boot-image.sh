#!/bin/sh
# Builds the default boot image of bootable discs: a 1.44 MB floppy with an
# empty FAT12 file system whose boot sector prints a short message on the
# screen and on the first serial port, then halts the machine.
#
#   make-boot-image.sh MKFS_FAT OUTPUT
#
# mkfs.fat makes the file system but cannot take boot code, so the code is
# written over the boot program mkfs.fat leaves after the BIOS parameter
# block (offset 62 up to the signature at 510). The bytes and what they do
# are listed in docs/boot-image.md; keep the two in step.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 MKFS_FAT OUTPUT" >&2
    exit 2
fi
mkfs=$1
output=$2
temporary="$output.tmp.$$"
trap 'rm -f "$temporary"' EXIT INT TERM

rm -f "$temporary"
# --invariant fixes the volume id and dates, so every build gives the same bytes.
"$mkfs" -C -F 12 -n VORNBOOT --invariant "$temporary" 1440 >/dev/null

# The boot program, 16-bit real mode, loaded by the BIOS at 0000:7C00 and
# entered through the jump at offset 0 (EB 3C 90: to offset 62).
code='\372\061\300\216\330\216\320\274\000\174\373\374'    # cli; ds = ss = 0; sp = 7C00; sti; cld
code="$code"'\061\322\270\343\000\315\024'                  # COM1: 9600 bit/s, 8N1 (int 14h, ah 0)
code="$code"'\276\165\174'                                  # si = the message (7C75)
code="$code"'\254\204\300\164\030'                          # next: al = [si++]; zero ends
code="$code"'\210\301\264\016\273\007\000\315\020'          # keep it in cl; screen (int 10h, ah 0Eh)
code="$code"'\272\375\003\354\250\040\164\373'             # wait for the serial transmitter to be empty
code="$code"'\262\370\210\310\356'                          # out 3F8h, the character
code="$code"'\353\343'                                      # back to next
code="$code"'\372\364\353\375'                              # halt: cli; hlt; hlt again on a wake-up
message='\r\nVorn Linux boot image: this disc holds no operating system.\r\nThe computer is halted. Remove the disc and restart.\r\n\000'

# mkfs.fat's own boot program and text go first, so nothing of it trails ours.
dd if=/dev/zero of="$temporary" bs=1 seek=62 count=448 conv=notrunc status=none
# 55 bytes of code (offset 62 to 116), the message right after it at 117.
printf "$code$message" | dd of="$temporary" bs=1 seek=62 conv=notrunc status=none

signature=$(dd if="$temporary" bs=1 skip=510 count=2 status=none | od -An -tx1 | tr -d ' \n')
if [ "$signature" != "55aa" ]; then
    echo "$0: the boot sector lost its signature" >&2
    exit 1
fi
mv -f "$temporary" "$output"
trap - EXIT INT TERM

#!/bin/sh
# Installs, as root and only where missing, what the Windows cross build and
# the Wine tests need: mingw-w64, Wine (64-bit and 32-bit), Xvfb, xdotool,
# ImageMagick and qemu-user. Then makes sure 32-bit (i386) Linux programs
# can run: where the kernel refuses them (some sandboxes run 64-bit user
# code only), qemu-i386 is registered as their interpreter.
set -eu

need=""
have() { command -v "$1" >/dev/null 2>&1; }
have i686-w64-mingw32-g++ || need="$need mingw-w64"
have x86_64-w64-mingw32-g++ || need="$need mingw-w64"
[ -x /usr/lib/wine/wine64 ] || need="$need wine wine64"
[ -x /usr/lib/wine/wine ] || need="$need wine32:i386"
have xvfb-run || need="$need xvfb"
have xdotool || need="$need xdotool"
have import || need="$need imagemagick"
have qemu-i386 || need="$need qemu-user"

if [ -n "$need" ]; then
  echo "install-wine: installing$need"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $need
else
  echo "install-wine: all tools present"
fi

# Can this kernel run i386 programs? The 32-bit Wine loader is one.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "install-wine: 32-bit programs run"
  exit 0
fi
echo "install-wine: this kernel does not run i386 programs; registering qemu-i386 for them"
if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
fi
if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  # Magic and mask of an i386 ELF executable; flags: keep the original
  # name (P), open the binary for the interpreter (O), credentials (C),
  # load the interpreter at registration (F).
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:POCF' \
    > /proc/sys/fs/binfmt_misc/register
fi
if QEMU_RESERVED_VA=0xffff0000 /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "install-wine: 32-bit programs run under qemu-i386 (slowly)"
else
  echo "install-wine: 32-bit programs still cannot run; the Wine tests fall back to 64-bit"
fi

#!/usr/bin/perl
# Reads an NTX file with Perl's XBase::Index and prints its keys in index
# order: the record number, a tab and the key bytes in hex, one line each.
#
#   perl ntx_read.pl FILE.ntx
#
# XBase::Index knows the signatures 3 and 6 only; a file that stores a FOR
# condition carries 7, so such a file is read from a copy that says 6 (the
# rest of the layout is the same).
use strict;
use warnings;
use File::Temp qw(tempdir);
use XBase::Index;

my $file = shift or die "usage: ntx_read.pl FILE.ntx\n";
open(my $in, '<:raw', $file) or die "cannot open $file: $!\n";
my $data = do { local $/; <$in> };
close($in);

if (unpack('v', $data) == 7) {
	my $dir = tempdir(CLEANUP => 1);
	$file = "$dir/copy.ntx";
	substr($data, 0, 2) = pack('v', 6);
	open(my $out, '>:raw', $file) or die "cannot write $file: $!\n";
	print $out $data;
	close($out);
}

my $index = XBase::Index->new($file, type => 'C')
	or die "XBase::Index refused $file: " . XBase::Index->errstr . "\n";
$index->prepare_select;
while (my ($key, $recno) = $index->fetch) {
	print "$recno\t", unpack('H*', $key), "\n";
}

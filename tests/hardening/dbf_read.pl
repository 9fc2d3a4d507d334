#!/usr/bin/perl
# Reads a dBase table with Perl's XBase, as another program on the station
# would: prints "records N" (the records the header counts), then the
# records asked for (by default the first and the last), each as its
# deletion mark and its fields joined by a unit separator. Any error of
# XBase ends it with status 255.
#
#   perl dbf_read.pl FILE.dbf [RECORD...]    (records numbered from 0)
use strict;
use warnings;
use XBase;

my $file = shift or die "usage: dbf_read.pl FILE.dbf [RECORD...]\n";
my $table = XBase->new(name => $file, ignorememo => 1)
	or die "XBase refused $file: " . XBase->errstr . "\n";
my $last = $table->last_record;
print 'records ', $last + 1, "\n";
my @wanted = @ARGV ? @ARGV : ($last >= 0 ? (0, $last) : ());
for my $n (@wanted) {
	my @record = $table->get_record($n)
		or die "XBase cannot read record $n of $file: " . XBase->errstr . "\n";
	my $deleted = shift @record;
	print(($deleted ? '*' : ' '), join("\x1f", map { defined $_ ? $_ : '' } @record), "\n");
}
$table->close;

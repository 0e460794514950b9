#!/usr/bin/perl
# Reads an .xls workbook with Spreadsheet::ParseExcel and prints what it saw as one JSON
# object: per sheet its name, every cell with its type, text, alignment and borders, and the
# page setup. xls_check.py compares it with the expectations.
use strict;
use warnings;
use JSON::PP;
use Spreadsheet::ParseExcel;

my $path = shift @ARGV or die "usage: xls_check.pl FILE.xls\n";
my $book = Spreadsheet::ParseExcel->new()->parse($path);
if (!defined $book) {
    print JSON::PP->new->canonical->encode({error => Spreadsheet::ParseExcel->new()->error()});
    exit 2;
}

my @sheets;
my $index = 0;
for my $ws ($book->worksheets()) {
    my %cells;
    my ($rmin, $rmax) = $ws->row_range();
    my ($cmin, $cmax) = $ws->col_range();
    for my $r ($rmin .. $rmax) {
        for my $c ($cmin .. $cmax) {
            my $cell = $ws->get_cell($r, $c) or next;
            my $f = $cell->get_format();
            my $type = $cell->type() eq 'Text' ? 'text' : 'number';
            my $value = $cell->value();
            $type = 'blank' if ($cell->{Kind} // '') =~ /^(BLANK|MulBlank)$/;
            $cells{"$r,$c"} = {
                type => $type,
                text => defined $value ? "$value" : '',
                h => $f ? $f->{AlignH} + 0 : 0,
                v => $f ? $f->{AlignV} + 0 : 2,
                b => $f ? [map { $_ + 0 } @{$f->{BdrStyle}}] : [0, 0, 0, 0],
            };
        }
    }
    my $titles = $book->{PrintTitle}[$index];
    my $rows = $titles && @{$titles->{Row}} ? [map { $_ + 0 } @{$titles->{Row}[0]}] : undef;
    my $noPls = $ws->{NoPls} // 1;
    push @sheets, {
        name => $ws->get_name(),
        cells => \%cells,
        # SETUP's portrait bit; orientation and scale count only with printer settings.
        landscape => $noPls ? JSON::PP::null : ($ws->is_portrait() ? JSON::PP::false : JSON::PP::true),
        scale => $noPls ? JSON::PP::null : $ws->get_print_scale() + 0,
        fit_to_page => $ws->{PageFit} ? JSON::PP::true : JSON::PP::false,
        margins => {
            left => $ws->get_margin_left() + 0,
            right => $ws->get_margin_right() + 0,
            top => $ws->get_margin_top() + 0,
            bottom => $ws->get_margin_bottom() + 0,
            header => $ws->get_margin_header() + 0,
            footer => $ws->get_margin_footer() + 0,
        },
        header => $ws->get_header() // '',
        title_rows => $rows,
    };
    ++$index;
}
binmode STDOUT;
print JSON::PP->new->utf8->canonical->encode({reader => 'parseexcel', sheets => \@sheets});

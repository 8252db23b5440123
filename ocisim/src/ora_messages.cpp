// The texts of the server errors the stand-in raises, as the 19c server words them.
#include <cstdio>
#include <utility>

#include "ora_error.h"

namespace ocisim {
namespace {

struct Message {
    int code;
    const char* text;
};

constexpr Message kMessages[] = {
    {1, "unique constraint (%s.%s) violated"},
    {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {900, "invalid SQL statement"},
    {901, "invalid CREATE command"},
    {903, "invalid table name"},
    {904, "%s: invalid identifier"},
    {905, "missing keyword"},
    {906, "missing left parenthesis"},
    {907, "missing right parenthesis"},
    {909, "invalid number of arguments"},
    {910, "specified length too long for its datatype"},
    {911, "invalid character"},
    {913, "too many values"},
    {917, "missing comma"},
    {918, "column ambiguously defined"},
    {922, "missing or invalid option"},
    {923, "FROM keyword not found where expected"},
    {925, "missing INTO keyword"},
    {926, "missing VALUES keyword"},
    {927, "missing equal sign"},
    {932, "inconsistent datatypes: expected %s got %s"},
    {933, "SQL command not properly ended"},
    {936, "missing expression"},
    {942, "table or view does not exist"},
    {947, "not enough values"},
    {955, "name is already used by an existing object"},
    {957, "duplicate column name"},
    {969, "missing ON keyword"},
    {972, "identifier is too long"},
    {1002, "fetch out of sequence"},
    {1007, "variable not in select list"},
    {1008, "not all variables bound"},
    {1017, "invalid username/password; logon denied"},
    {1031, "insufficient privileges"},
    {1036, "illegal variable name/number"},
    {1045, "user %s lacks CREATE SESSION privilege; logon denied"},
    {1400, "cannot insert NULL into (%s)"},
    {1401, "inserted value too large for column"},
    {1405, "fetched column value is NULL"},
    {1406, "fetched column value was truncated"},
    {1407, "cannot update (%s) to NULL"},
    {1408, "such column list already indexed"},
    {1418, "specified index does not exist"},
    {1430, "column being added already exists in table"},
    {1438, "value larger than specified precision allowed for this column"},
    {1439, "column to be modified must be empty to change datatype"},
    {1440, "column to be modified must be empty to decrease precision or scale"},
    {1441, "cannot decrease column length because some value is too big"},
    {1442, "column to be modified to NOT NULL is already NOT NULL"},
    {1451, "column to be modified to NULL cannot be modified to NULL"},
    {1426, "numeric overflow"},
    {1455, "converting column overflows integer datatype"},
    {1460, "unimplemented or unreasonable conversion requested"},
    {1465, "invalid hex number"},
    {1704, "string literal too long"},
    {1785, "ORDER BY item must be the number of a SELECT-list expression"},
    {1722, "invalid number"},
    {1724, "floating point precision is out of range (1 to 126)"},
    {1727, "numeric precision specifier is out of range (1 to 38)"},
    {1728, "numeric scale specifier is out of range (-84 to 127)"},
    {1740, "missing double quote in identifier"},
    {1741, "illegal zero-length identifier"},
    {1754, "a table may contain only one column of type LONG"},
    {1756, "quoted string not properly terminated"},
    {1830, "date format picture ends before converting entire input string"},
    {1840, "input value not long enough for date format"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1867, "the interval is invalid"},
    {1873, "the leading precision of the interval is too small"},
    {1847, "day of month must be between 1 and last day of month"},
    {1850, "hour must be between 0 and 23"},
    {1851, "minutes must be between 0 and 59"},
    {1852, "seconds must be between 0 and 59"},
    {1855, "AM/A.M. or PM/P.M. required"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1861, "literal does not match format string"},
    {1821, "date format not recognized"},
    {2000, "missing %s keyword"},
    {2261, "such unique or primary key already exists in the table"},
    {2264, "name already used by an existing constraint"},
    {2289, "sequence does not exist"},
    {2449, "unique/primary keys in table referenced by foreign keys"},
    {3113, "end-of-file on communication channel"},
    {3114, "not connected to ORACLE"},
    {4003, "sequence parameter %s exceeds maximum size allowed"},
    {4080, "trigger '%s' does not exist"},
    {4098, "trigger '%s.%s' is invalid and failed re-validation"},
    {8002, "sequence %s.CURRVAL is not yet defined in this session"},
    {8004, "sequence %s.NEXTVAL %s %sVALUE and cannot be instantiated"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {12514, "TNS:listener does not currently know of service requested in connect descriptor"},
    {12541, "TNS:no listener"},
    {12545, "Connect failed because target host or object does not exist"},
    {12899, "value too large for column %s (actual: %s, maximum: %s)"},
    {22275, "invalid LOB locator specified"},
    {22920, "row containing the LOB value is not locked"},
    {24333, "zero iteration count"},
    {24381, "error(s) in array DML"},
    {24343, "user defined callback error"},
    {1450, "maximum key length (%s) exceeded"},
    {24337, "statement handle not prepared"},
    {24315, "illegal attribute type"},
    {24324, "service handle not initialized"},
    {24344, "success with compilation error"},
    {24801, "illegal parameter value in OCI lob function"},
    {24806, "LOB form mismatch"},
    {28000, "the account is locked"},
    {24334, "no descriptor for this position"},
    {24391, "invalid fetch operation"},
    {984, "column not allowed here"},
    {997, "illegal use of LONG datatype"},
    {2429, "cannot drop index used for enforcement of unique/primary key"},
    {4002, "INCREMENT must be a non-zero integer"},
    {4004, "MINVALUE must be less than MAXVALUE"},
    {22859, "invalid modification of columns"},
    {600, "internal error code, arguments: [%s]"},
    {920, "invalid relational operator"},
    {934, "group function is not allowed here"},
    {937, "not a single-group group function"},
    {1410, "invalid ROWID"},
    {1476, "divisor is equal to zero"},
    {1449, "column contains NULL values; cannot alter to NOT NULL"},
    {1452, "cannot CREATE UNIQUE INDEX; duplicate keys found"},
    {2260, "table can have only one primary key"},
    {2296, "cannot enable (%s.%s) - null values found"},
    {2299, "cannot validate (%s.%s) - duplicate keys found"},
    {2327, "cannot create index on expression with datatype %s"},
    {2329, "column of datatype %s cannot be unique or a primary key"},
    {4081, "trigger '%s' already exists"},
    {902, "invalid datatype"},
    {908, "missing NULL keyword"},
    {924, "missing BY keyword"},
    {940, "invalid ALTER command"},
    {950, "invalid DROP option"},
    {971, "missing SET keyword"},
    {1723, "zero-length columns are not allowed"},
    {1735, "invalid ALTER TABLE option"},
    {30088, "datetime/interval precision is out of range"},
};

}  // namespace

std::string_view ora_template(int code) {
    for (const Message& m : kMessages) {
        if (m.code == code) {
            return m.text;
        }
    }
    return {};
}

OraError ora(int code, const std::vector<std::string>& args) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
    std::string text = prefix;
    std::string_view tmpl = ora_template(code);
    size_t next_arg = 0;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] == '%' && i + 1 < tmpl.size() && tmpl[i + 1] == 's') {
            if (next_arg < args.size()) {
                text += args[next_arg++];
            }
            ++i;
        } else {
            text += tmpl[i];
        }
    }
    return OraError(code, std::move(text));
}

}  // namespace ocisim

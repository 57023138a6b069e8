# Builds damaged or hostile spreadsheets for the sheet reader's tests.
# Usage: hostile_sheets.py <oddcells|cutstrings|bomb|widexls> <path>
import sys, struct, zipfile
kind, path = sys.argv[1], sys.argv[2]
if kind == 'widexls':
    import xlwt
    b = xlwt.Workbook(encoding='utf-8'); s = b.add_sheet('a')
    s.write(0, 0, '姓名'); s.write(1, 0, '李雷'); b.save(path)
    data = bytearray(open(path, 'rb').read())
    i = data.find(b'\x00\x02\x0e\x00')       # DIMENSIONS, 14 bytes
    struct.pack_into('<H', data, i + 4 + 10, 0xFFFF)   # columns
    open(path, 'wb').write(data); sys.exit(0)
ct = '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'
wb = ('<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
      '<sheets><sheet name="a" sheetId="1" r:id="rId1"/></sheets></workbook>')
rels = '<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>'
sst = '<sst><si><t>姓名</t></si><si><t>李雷</t></si></sst>'
sheet = ('<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="ALM1" s="3"/></row>'
         '<row r="2"><c r="A2" t="s" s="-1"><v>1</v></c></row></sheetData></worksheet>')
if kind == 'cutstrings':
    sst = sst[:25]
z = zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED)
for name, text in [('[Content_Types].xml', ct), ('xl/workbook.xml', wb),
                   ('xl/_rels/workbook.xml.rels', rels), ('xl/sharedStrings.xml', sst),
                   ('xl/worksheets/sheet1.xml', sheet)]:
    z.writestr(name, text)
z.close()
if kind == 'bomb':
    data = bytearray(open(path, 'rb').read())
    name = b'xl/worksheets/sheet1.xml'
    i = data.find(b'PK\x01\x02')
    while data[i + 46:i + 46 + len(name)] != name:
        i = data.find(b'PK\x01\x02', i + 4)
    struct.pack_into('<I', data, i + 24, 0x7FFFFFFF)   # uncompressed size
    open(path, 'wb').write(data)

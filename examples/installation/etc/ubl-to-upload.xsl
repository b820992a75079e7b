<?xml version="1.0" encoding="UTF-8"?>
<!-- A UBL 2.1 invoice or credit note in the portal's upload format
     (urn:wfdesk:portal:invoice:1): the document type (Invoice or CreditNote),
     the number, dates and currency as attributes, the two parties with their
     VAT IDs and postal addresses, one element per line and the totals. A
     credit note states what it credits as positive amounts, as UBL does; its
     due date is that of its payment means. -->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:ubl="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
    xmlns:cn="urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2"
    xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"
    xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
    xmlns:inv="urn:wfdesk:portal:invoice:1"
    exclude-result-prefixes="ubl cn cbc cac">
  <xsl:output method="xml" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/ubl:Invoice | /cn:CreditNote">
    <inv:Invoice type="{local-name()}" number="{cbc:ID}" issued="{cbc:IssueDate}"
                 due="{cbc:DueDate | cac:PaymentMeans/cbc:PaymentDueDate}"
                 currency="{cbc:DocumentCurrencyCode}">
      <xsl:apply-templates select="cac:AccountingSupplierParty/cac:Party" mode="party">
        <xsl:with-param name="role" select="'Biller'"/>
      </xsl:apply-templates>
      <xsl:apply-templates select="cac:AccountingCustomerParty/cac:Party" mode="party">
        <xsl:with-param name="role" select="'Recipient'"/>
      </xsl:apply-templates>
      <xsl:for-each select="cac:InvoiceLine | cac:CreditNoteLine">
        <inv:Line position="{cbc:ID}" quantity="{cbc:InvoicedQuantity | cbc:CreditedQuantity}"
                  unitPrice="{cac:Price/cbc:PriceAmount}" amount="{cbc:LineExtensionAmount}"
                  vatRate="{cac:Item/cac:ClassifiedTaxCategory/cbc:Percent}">
          <xsl:value-of select="cac:Item/cbc:Name"/>
        </inv:Line>
      </xsl:for-each>
      <inv:Totals net="{cac:LegalMonetaryTotal/cbc:TaxExclusiveAmount}"
                  tax="{cac:TaxTotal/cbc:TaxAmount}"
                  payable="{cac:LegalMonetaryTotal/cbc:PayableAmount}"/>
    </inv:Invoice>
  </xsl:template>

  <xsl:template match="cac:Party" mode="party">
    <xsl:param name="role"/>
    <xsl:element name="inv:{$role}">
      <xsl:attribute name="name"><xsl:value-of select="cac:PartyName/cbc:Name"/></xsl:attribute>
      <xsl:attribute name="vatId"><xsl:value-of select="cac:PartyTaxScheme/cbc:CompanyID"/></xsl:attribute>
      <xsl:for-each select="cac:PostalAddress">
        <xsl:attribute name="street"><xsl:value-of select="cbc:StreetName"/></xsl:attribute>
        <xsl:attribute name="city"><xsl:value-of select="cbc:CityName"/></xsl:attribute>
        <xsl:attribute name="postCode"><xsl:value-of select="cbc:PostalZone"/></xsl:attribute>
        <xsl:attribute name="country"><xsl:value-of select="cac:Country/cbc:IdentificationCode"/></xsl:attribute>
      </xsl:for-each>
    </xsl:element>
  </xsl:template>
</xsl:stylesheet>
